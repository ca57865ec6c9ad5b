// One field value as read from the engine.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kolt::base {

struct Blob {
  std::vector<unsigned char> bytes;
  friend bool operator==(const Blob&, const Blob&) = default;
};

// NULL, a whole number, a real number, UTF-8 text or bytes: SQLite's storage classes. Dates are
// text in the canonical form of schema/date_text.h; Yes/No values are the integers -1 and 0.
using Value = std::variant<std::monostate, std::int64_t, double, std::string, Blob>;

inline bool isNull(const Value& v) {
  return std::holds_alternative<std::monostate>(v);
}

}  // namespace kolt::base
