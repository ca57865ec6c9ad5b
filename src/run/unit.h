// A medical unit of the list. The run carries its code exactly as EGRESO holds it, blanks and all;
// the text the list shows is made from it and never read back, since a code may hold the very
// blanks that part it from the name there.
#pragma once

#include <string>

namespace kolt::run {

struct Unit {
  std::string code;
  std::string name;  // its name in CATCLUES

  // "{code}  {name}", as the unit list shows it (and kolt-validar --unidades prints it).
  std::string text() const { return code + "  " + name; }
  bool operator==(const Unit&) const = default;
};

}  // namespace kolt::run
