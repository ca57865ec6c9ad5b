#include "xls/biff8_sheet_names.h"

#include <algorithm>

#include "xls/biff8_text.h"

namespace kolt::xls::biff8 {
namespace {

bool isForbidden(char16_t c) {
  return c < 0x20 || c == 0x7F || c == u'[' || c == u']' || c == u':' || c == u'*' || c == u'?' ||
         c == u'/' || c == u'\\';
}

// Excel compares sheet names without regard to case. Folding ASCII and Latin-1 covers the names
// this program gives; other scripts are compared as they are.
char16_t fold(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  return c;
}

bool sameName(std::u16string_view a, std::u16string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

bool isTaken(std::u16string_view name, const std::vector<std::u16string>& taken) {
  // Excel keeps "History" for its change tracking and refuses a sheet of that name.
  if (sameName(name, u"History")) return true;
  return std::any_of(taken.begin(), taken.end(),
                     [&](const std::u16string& other) { return sameName(name, other); });
}

// `base` cut so that " (n)" fits after it (nothing added for n = 1).
std::u16string numbered(std::u16string_view base, std::size_t n) {
  std::u16string suffix;
  if (n > 1) {
    for (char c : " (" + std::to_string(n) + ")") suffix.push_back(static_cast<char16_t>(c));
  }
  std::u16string name(cutUtf16(base, kMaxSheetName - suffix.size()));
  name += suffix;
  // A cut can leave an apostrophe at the end, which Excel refuses.
  if (name.back() == u'\'') name.back() = u'_';
  return name;
}

}  // namespace

std::u16string cleanSheetName(std::u16string_view requested) {
  if (requested.empty()) return u"Hoja";
  std::u16string name(requested);
  std::replace_if(name.begin(), name.end(), isForbidden, u'_');
  if (name.front() == u'\'') name.front() = u'_';
  if (name.back() == u'\'') name.back() = u'_';
  return name;
}

std::u16string claimSheetName(std::u16string_view base, std::size_t part,
                              const std::vector<std::u16string>& taken) {
  const std::u16string wanted = numbered(base, part);
  std::u16string name = wanted;
  for (std::size_t n = 2; isTaken(name, taken); ++n) name = numbered(wanted, n);
  return name;
}

}  // namespace kolt::xls::biff8
