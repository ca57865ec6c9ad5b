// Values put into statement texts.
#pragma once

#include <string>
#include <string_view>

namespace kolt::base {

// The value with every single quote doubled, to stand between single quotes in a statement: a unit
// code or a path holding a quote must neither break the statement nor change its meaning.
inline std::string doubledQuotes(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

}  // namespace kolt::base
