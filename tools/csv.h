// Reading the comma-separated files of the demo catalogue (RFC 4180: quoted fields, doubled
// quotes, commas and line breaks inside quotes).
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace kolt::tools {

// The next record of `in`, or nothing at the end of the input.
inline std::optional<std::vector<std::string>> readCsvRecord(std::istream& in) {
  std::vector<std::string> fields(1);
  bool quoted = false, any = false;
  for (int c; (c = in.get()) != EOF;) {
    any = true;
    if (quoted) {
      if (c == '"') {
        if (in.peek() == '"')
          fields.back() += static_cast<char>(in.get());
        else
          quoted = false;
      } else {
        fields.back() += static_cast<char>(c);
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\n') {
      return fields;
    } else if (c != '\r') {
      fields.back() += static_cast<char>(c);
    }
  }
  if (!any) return std::nullopt;
  return fields;
}

}  // namespace kolt::tools
