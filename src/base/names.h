// Table, column and type names are matched as the engine matches them: without regard to the case
// of their ASCII letters ("Egreso" names EGRESO).
#pragma once

#include <string_view>

namespace kolt::base {

inline bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace kolt::base
