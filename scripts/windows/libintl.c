/* A message catalogue that has no translations: every text comes back as it was asked for.
 * GLib and libgsf ask for their messages through gettext; the program shows them untranslated,
 * as it does on Linux with no language pack, and needs no gettext runtime beside it. */
#include "libintl.h"

#include <stddef.h>

char* gettext(const char* msgid) {
  return (char*)msgid;
}
char* dgettext(const char* domain, const char* msgid) {
  (void)domain;
  return (char*)msgid;
}
char* dcgettext(const char* domain, const char* msgid, int category) {
  (void)domain;
  (void)category;
  return (char*)msgid;
}
char* ngettext(const char* msgid, const char* plural, unsigned long n) {
  return (char*)(n == 1 ? msgid : plural);
}
char* dngettext(const char* domain, const char* msgid, const char* plural, unsigned long n) {
  (void)domain;
  return (char*)(n == 1 ? msgid : plural);
}
char* dcngettext(const char* domain, const char* msgid, const char* plural, unsigned long n,
                 int category) {
  (void)domain;
  (void)category;
  return (char*)(n == 1 ? msgid : plural);
}
char* textdomain(const char* domain) {
  return (char*)(domain ? domain : "messages");
}
char* bindtextdomain(const char* domain, const char* dirname) {
  (void)domain;
  return (char*)dirname;
}
char* bind_textdomain_codeset(const char* domain, const char* codeset) {
  (void)domain;
  return (char*)codeset;
}
