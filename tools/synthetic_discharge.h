// A synthetic discharge and its child rows, as the generator makes them and its deliberate errors
// change them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/value.h"

namespace kolt::tools {

using Row = std::map<std::string, base::Value>;

// splitmix64: small, fast, and the same sequence on every machine.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  int between(int lo, int hi) { return lo + below(hi - lo + 1); }
  bool chance(double p) { return static_cast<double>(next() >> 11) * 0x1.0p-53 < p; }
  template <typename T>
  const T& pick(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(below(static_cast<int>(items.size())))];
  }

 private:
  std::uint64_t state_;
};

// `n` in decimal, left-padded with zeros to `width` digits.
inline std::string digits(std::uint64_t n, int width) {
  std::string s = std::to_string(n);
  return std::string(width > static_cast<int>(s.size()) ? width - s.size() : 0, '0') + s;
}

struct Discharge {
  Row egreso;
  std::vector<Row> obstet, productos, defunc, afecciones, procedimientos;

  // A child row of this discharge: `row` with the discharge's key (folio, clues, egreso) added.
  Row keyed(Row row) const {
    for (const char* key : {"folio", "clues", "egreso"}) row[key] = egreso.at(key);
    return row;
  }
  // The text of an EGRESO column; "" when it is NULL or absent.
  std::string text(const std::string& column) const {
    auto it = egreso.find(column);
    if (it == egreso.end()) return {};
    const std::string* s = std::get_if<std::string>(&it->second);
    return s ? *s : std::string();
  }
};

}  // namespace kolt::tools
