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
char* gettext(const char* msgid);
char* dgettext(const char* domain, const char* msgid);
char* dcgettext(const char* domain, const char* msgid, int category);
char* ngettext(const char* msgid, const char* plural, unsigned long n);
char* dngettext(const char* domain, const char* msgid, const char* plural, unsigned long n);
char* dcngettext(const char* domain, const char* msgid, const char* plural, unsigned long n,
                 int category);
char* textdomain(const char* domain);
char* bindtextdomain(const char* domain, const char* dirname);
char* bind_textdomain_codeset(const char* domain, const char* codeset);
#ifdef __cplusplus
}
#endif
#endif
