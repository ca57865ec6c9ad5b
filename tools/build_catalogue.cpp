// Builds the demo catalogue database from its readable sources in catalog/.
//
//   kolt-catalogo SALIDA.db TABLA.csv...
//
// Each file makes the table named like the file; its first line names the columns. Columns the
// program knows take their engine type from the schema (numbers stay numbers); any other column is
// text. An empty field is NULL. The rule catalogue `catValidaciones` is not read from a file: it is
// written from the rules the program runs, so a description can never disagree with its rule. The
// database is built under a temporary name and renamed, so a failed build never leaves a half-made
// catalogue behind.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "access/bulk_loader.h"
#include "base/error.h"
#include "base/platform/arguments.h"
#include "base/platform/paths.h"
#include "csv.h"
#include "help_option.h"
#include "loaded_database.h"
#include "rules/rule_plan.h"
#include "schema/tables.h"

namespace {

namespace fs = std::filesystem;
using kolt::base::Value;

Value cell(const std::string& text, std::string_view type, const fs::path& file) {
  if (text.empty()) return std::monostate{};
  if (type == kolt::schema::kIntegerType) {
    std::int64_t n = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size())
      throw std::runtime_error(kolt::platform::utf8(file) + ": '" + text +
                               "' no es un número entero");
    return n;
  }
  return text;
}

void loadTable(kolt::access::BulkLoader& loader, const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("no se puede leer " + kolt::platform::utf8(file));
  const std::string name = kolt::platform::utf8(file.stem());
  auto header = kolt::tools::readCsvRecord(in);
  if (!header) throw std::runtime_error(kolt::platform::utf8(file) + " está vacío");
  const kolt::schema::Table* known = kolt::schema::findTable(name);
  std::vector<kolt::access::SourceColumn> columns;
  for (const auto& column : *header) {
    const kolt::schema::Column* c = known ? known->column(column) : nullptr;
    columns.push_back({column, std::string(c ? c->type : kolt::schema::kTextType)});
  }
  loader.beginTable(name, columns);
  int line = 1;
  while (auto record = kolt::tools::readCsvRecord(in)) {
    ++line;
    if (record->size() != columns.size())
      throw std::runtime_error(kolt::platform::utf8(file) + ":" + std::to_string(line) + ": " +
                               std::to_string(record->size()) + " campos en vez de " +
                               std::to_string(columns.size()));
    std::vector<Value> row;
    for (std::size_t i = 0; i < columns.size(); ++i)
      row.push_back(cell((*record)[i], columns[i].declaredType, file));
    loader.insert(row);
  }
}

// One row per rule, in number order, with the description the program itself gives the rule.
void loadRuleCatalogue(kolt::access::BulkLoader& loader) {
  loader.beginTable("catValidaciones", {{"Validacion", std::string(kolt::schema::kIntegerType)},
                                        {"Descripcion", std::string(kolt::schema::kTextType)}});
  for (const auto& rule : kolt::rules::planRules(kolt::rules::ruleCatalogue()))
    loader.insert({std::int64_t{rule.number}, rule.description});
}

}  // namespace

int main(int argc, char** argv) {
  const kolt::platform::Utf8Argv utf8Argv(argc, argv);
  kolt::platform::prepareConsole();
  if (kolt::tools::asksForHelp(argc, argv))
    return kolt::tools::printHelp(
        "Uso: kolt-catalogo SALIDA.db TABLA.csv...\n"
        "Construye la base del catálogo a partir de tablas CSV (una tabla por archivo).\n");
  if (argc < 3) {
    std::fprintf(stderr, "Uso: kolt-catalogo SALIDA.db TABLA.csv...\n");
    return 2;
  }
  return kolt::tools::writeDatabase(kolt::platform::pathFromUtf8(argv[1]), "kolt-catalogo",
                                    [&](auto& loader) {
                                      for (int i = 2; i < argc; ++i)
                                        loadTable(loader, kolt::platform::pathFromUtf8(argv[i]));
                                      loadRuleCatalogue(loader);
                                    });
}
