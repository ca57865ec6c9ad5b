#include "xls/biff8_column_width.h"

#include <algorithm>
#include <array>

namespace kolt::xls::biff8 {
namespace {

// Advance widths of Arial (and of Liberation Sans, which LibreOffice draws in its place), in
// thousandths of the font size, for the printable ASCII characters from ' ' to '~'.
// clang-format off
constexpr std::array<std::uint16_t, 95> kRegular = {
     278,  278,  355,  556,  556,  889,  667,  191,  333,  333,  389,  584,  278,  333,  278,  278,  //  !"#$%&'()*+,-./
     556,  556,  556,  556,  556,  556,  556,  556,  556,  556,  278,  278,  584,  584,  584,  556,  // 0123456789:;<=>?
    1015,  667,  667,  722,  722,  667,  611,  778,  722,  278,  500,  667,  556,  833,  722,  778,  // @ABCDEFGHIJKLMNO
     667,  778,  722,  667,  611,  722,  667,  944,  667,  667,  611,  278,  278,  278,  469,  556,  // PQRSTUVWXYZ[\]^_
     333,  556,  556,  500,  556,  556,  278,  556,  556,  222,  222,  500,  222,  833,  556,  556,  // `abcdefghijklmno
     556,  556,  333,  500,  278,  556,  500,  722,  500,  500,  500,  334,  260,  334,  584,  // pqrstuvwxyz{|}~
};
constexpr std::array<std::uint16_t, 95> kBold = {
     278,  333,  474,  556,  556,  889,  722,  238,  333,  333,  389,  584,  278,  333,  278,  278,  //  !"#$%&'()*+,-./
     556,  556,  556,  556,  556,  556,  556,  556,  556,  556,  333,  333,  584,  584,  584,  611,  // 0123456789:;<=>?
     975,  722,  722,  722,  722,  667,  611,  778,  722,  278,  556,  722,  611,  833,  722,  778,  // @ABCDEFGHIJKLMNO
     667,  778,  722,  667,  611,  722,  667,  944,  667,  667,  611,  333,  278,  333,  584,  556,  // PQRSTUVWXYZ[\]^_
     333,  556,  611,  556,  611,  556,  333,  611,  611,  278,  278,  556,  278,  889,  611,  611,  // `abcdefghijklmno
     611,  611,  389,  556,  333,  611,  556,  778,  556,  556,  500,  389,  280,  389,  584,  // pqrstuvwxyz{|}~
};
// clang-format on

// The letter whose width an accented Latin-1 letter (U+00C0 to U+00FF) has; '*' for the few that
// have a width of their own.
constexpr std::u16string_view kLatin1Letters =
    u"AAAAAA*CEEEEIIIIDNOOOOO+OUUUUYPsaaaaaa*ceeeeiiiidnooooo+ouuuuypy";

std::uint16_t advance(char16_t c, FontWeight weight) {
  const auto& widths = weight == FontWeight::Bold ? kBold : kRegular;
  if (c >= u' ' && c <= u'~') return widths[c - u' '];
  if (c >= 0xC0 && c <= 0xFF) {
    const char16_t letter = kLatin1Letters[c - 0xC0];
    if (letter == u'*') return c == 0xC6 ? 1000 : 889;  // Æ, æ
    return widths[letter - u' '];
  }
  if (c == 0xBF) return 611;   // ¿
  if (c == 0xA1) return 333;   // ¡
  if (c < 0x2E80) return 556;  // other scripts' letters are about a digit wide
  return 1000;                 // ideographs fill the whole square
}

}  // namespace

std::uint32_t textDots(std::u16string_view text, FontWeight weight) {
  // Arial 10 is 10/72 of an inch: 40/3 dots at 96 an inch. Each character's advance is rounded
  // to a whole dot, as a screen draws it; digits come to 7, as kDigitDots says.
  std::uint32_t dots = 0;
  for (char16_t c : text) dots += (advance(c, weight) * 40 + 1500) / 3000;
  return dots;
}

std::uint16_t columnWidth(std::uint32_t dots) {
  constexpr std::uint32_t kFewest = 6 * kDigitDots, kMost = 60 * kDigitDots;
  // Excel keeps 5 dots of a column for the margins beside its text; 4 more leave room for a
  // screen whose font rounds wider.
  constexpr std::uint32_t kMarginDots = 9;
  const std::uint32_t wanted = std::clamp(dots, kFewest, kMost) + kMarginDots;
  return static_cast<std::uint16_t>((wanted * 256 + kDigitDots - 1) / kDigitDots);
}

}  // namespace kolt::xls::biff8
