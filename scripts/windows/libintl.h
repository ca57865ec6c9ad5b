/* See libintl.c: the gettext interface without translations. */
#ifndef KOLT_LIBINTL_H
#define KOLT_LIBINTL_H
#include <locale.h>
/* The C library of Windows has no message category; GNU gettext gives it this number there. */
#ifndef LC_MESSAGES
#define LC_MESSAGES 1729
#endif
#ifdef __cplusplus
extern "C" {
#endif
/* Like GNU gettext's, these tell the compiler that a translated format is the format given, so
 * that format checks still see through them. */
#define KOLT_FORMAT_ARG(n) __attribute__((__format_arg__(n)))
char* gettext(const char* msgid) KOLT_FORMAT_ARG(1);
char* dgettext(const char* domain, const char* msgid) KOLT_FORMAT_ARG(2);
char* dcgettext(const char* domain, const char* msgid, int category) KOLT_FORMAT_ARG(2);
char* ngettext(const char* msgid, const char* plural, unsigned long n) KOLT_FORMAT_ARG(1)
    KOLT_FORMAT_ARG(2);
char* dngettext(const char* domain, const char* msgid, const char* plural, unsigned long n)
    KOLT_FORMAT_ARG(2) KOLT_FORMAT_ARG(3);
char* dcngettext(const char* domain, const char* msgid, const char* plural, unsigned long n,
                 int category) KOLT_FORMAT_ARG(2) KOLT_FORMAT_ARG(3);
char* textdomain(const char* domain);
char* bindtextdomain(const char* domain, const char* dirname);
char* bind_textdomain_codeset(const char* domain, const char* codeset);
#ifdef __cplusplus
}
#endif
#endif
