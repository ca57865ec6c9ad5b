#include "support/workbook_reader.h"

#include <stdexcept>
#include <string_view>

#include "support/paths.h"

namespace kolt::test {

namespace fs = std::filesystem;

// Undoes the reader's escapes of tab, line break and backslash (see read_xls.py).
static std::string unescape(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    const char c = field[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

static std::vector<std::string> splitTabs(std::string_view line) {
  std::vector<std::string> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(unescape(line.substr(start, tab - start)));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

int runReader(const fs::path& book, std::string& output) {
  const fs::path script = test::sourceDir() / "tests" / "xls" / "read_xls.py";
  return test::runCommand("/usr/bin/python3 '" + script.string() + "' '" + book.string() + "'",
                          output);
}

ReadBack readBack(const fs::path& book) {
  std::string output;
  if (runReader(book, output) != 0)
    throw std::runtime_error("xlrd could not read " + book.string());
  ReadBack result;
  std::size_t start = 0;
  while (start < output.size()) {
    const std::size_t end = output.find('\n', start);
    std::vector<std::string> fields =
        splitTabs(std::string_view(output).substr(start, end - start));
    start = end == std::string::npos ? output.size() : end + 1;
    const std::string kind = fields.front();
    fields.erase(fields.begin());
    if (kind == "sheet") {
      result.names.push_back(fields.at(0));
      result.sheets.emplace_back();
      result.dateSerials.emplace_back();
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
