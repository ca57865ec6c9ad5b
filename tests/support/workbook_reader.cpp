#include "support/workbook_reader.h"

#include <sstream>
#include <stdexcept>
#include <string_view>

#include "support/paths.h"

namespace kolt::test {

namespace {

// One line of the reader's output: its fields at the tabs, the escapes of tab, line break and
// backslash undone (see read_xls.py).
std::vector<std::string> fieldsOf(std::string_view line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\t') {
      fields.emplace_back();
      continue;
    }
    if (c == '\\' && i + 1 < line.size()) {
      c = line[++i];
      c = c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    fields.back() += c;
  }
  return fields;
}

}  // namespace

ReadBack readBack(const std::filesystem::path& book) {
  const auto script = sourceDir() / "tests" / "xls" / "read_xls.py";
  std::string output;
  if (runCommand(
          "/usr/bin/python3 " + shellQuoted(script.string()) + " " + shellQuoted(book.string()),
          output) != 0)
    throw std::runtime_error("xlrd could not read " + book.string());
  ReadBack result;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields = fieldsOf(line);
    const std::string kind = fields.front();
    fields.erase(fields.begin());
    if (kind == "book") {
      result.activeSheet = std::stoul(fields.at(0));
      result.firstTab = std::stoul(fields.at(1));
    } else if (kind == "sheet") {
      result.names.push_back(fields.at(0));
      result.views.emplace_back();
      result.sheets.emplace_back();
      result.dateSerials.emplace_back();
    } else if (kind == "view") {
      result.views.back().selected = fields.at(0) == "1";
      result.views.back().shown = fields.at(1) == "1";
    } else if (kind == "header") {
      result.views.back().pageHeader = fields.at(0);
    } else if (kind == "row") {
      // xlrd pads short rows to the sheet's width; trailing empty cells carry no information.
      while (!fields.empty() && fields.back().empty()) fields.pop_back();
      result.sheets.back().push_back(std::move(fields));
    } else if (kind == "serial") {
      result.dateSerials.back().push_back(std::stod(fields.at(0)));
    }
  }
  return result;
}

SheetCells sheet(const ReadBack& book, const std::string& name) {
  for (std::size_t i = 0; i < book.names.size(); ++i)
    if (book.names[i] == name) return book.sheets[i];
  throw std::runtime_error("no sheet " + name);
}

}  // namespace kolt::test
