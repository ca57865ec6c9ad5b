// The lines the importer's child process writes to its parent, one event a line.
//
//   inicio <format> <tables> <rows expected>     the file opened; what is about to be read
//   tabla <index> <rows expected> <name>         a table begins (index counts from 1)
//   filas <index> <rows read>                    rows of that table read so far
//   imagen <hex>                                 a piece of the database read into memory, when
//                                                asked for one (the pieces in order, before "fin")
//   fin <rows>                                   everything read and committed
//   error <number> <description> [<detail>]      a failure the child could name itself, and the
//                                                system's or engine's own words for the log
//
// Fields are separated by a tab; names and descriptions escape tab, newline and backslash, so any
// table name travels intact. Anything else on the channel (or nothing at all) means the child did
// not finish: the parent only trusts "fin".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kolt::access {

struct ProgressEvent {
  enum class Kind { Start, Table, Rows, Image, End, Error };
  Kind kind = Kind::Start;
  std::string text;         // Start: format; Table: name; Error: description; Image: the bytes
  std::int64_t index = 0;   // Table, Rows: table index; Error: error number
  std::int64_t count = 0;   // Start: tables; Table: rows expected; Rows: rows read; End: rows
  std::int64_t total = 0;   // Start: rows expected in all tables
  std::string detail = {};  // Error: the system's or the engine's words, for the log
};

std::string encodeEvent(const ProgressEvent& event);  // without the newline
std::optional<ProgressEvent> decodeEvent(std::string_view line);

}  // namespace kolt::access
