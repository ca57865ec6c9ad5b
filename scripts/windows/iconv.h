/* iconv for libmdb, served by GLib's converter (g_iconv), so that the Windows build reads Access
 * texts through the same conversions, named the same way, as the Linux build reads them through
 * the C library's iconv. */
#ifndef KOLT_ICONV_H
#define KOLT_ICONV_H
#include <glib.h>
typedef GIConv iconv_t;
#define iconv_open(to, from) g_iconv_open((to), (from))
#define iconv(cd, in, in_left, out, out_left) \
  g_iconv((cd), (gchar**)(in), (in_left), (gchar**)(out), (out_left))
#define iconv_close(cd) g_iconv_close(cd)
#endif
