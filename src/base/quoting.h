// Values put into statement texts.
#pragma once

#include <string>
#include <string_view>

namespace kolt::base {

// The value with every `quote` doubled, to stand between two of them in a statement: a unit code, a
// path or a name holding a quote must neither break the statement nor change its meaning. Single
// quotes delimit texts; double quotes delimit names.
inline std::string doubledQuotes(std::string_view value, char quote = '\'') {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out += c;
    if (c == quote) out += quote;
  }
  return out;
}

}  // namespace kolt::base
