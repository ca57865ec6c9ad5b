#include "run/table_check.h"

#include "base/error.h"
#include "base/names.h"
#include "base/platform/paths.h"
#include "schema/tables.h"

namespace kolt::run {
namespace {

using schema::TableRole;

MissingParts missingParts(engine::Connection& cnn, bool (*belongs)(TableRole)) {
  MissingParts missing;
  for (const schema::Table& table : schema::allTables()) {
    if (!belongs(table.role)) continue;
    std::vector<engine::ColumnInfo> present;
    try {
      present =
          cnn.openRecordset("SELECT * FROM " + std::string(table.name) + " WHERE 1=0").columns();
    } catch (const base::Error& e) {
      if (e.number() != base::kErrNoSuchTable) throw;
      missing.tables.emplace_back(table.name);
      continue;
    }
    for (const schema::Column& column : table.columns) {
      bool found = false;
      for (const engine::ColumnInfo& info : present)
        found = found || base::sameName(info.name, column.name);
      if (!found)
        missing.columns.push_back(std::string(table.name) + "." + std::string(column.name));
    }
  }
  return missing;
}

// "A", "A y B", "A, B y C".
std::string spanishList(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i)
    text += (i == 0 ? "" : i + 1 == items.size() ? " y " : ", ") + items[i];
  return text;
}

std::string lacks(const std::string& what, const std::filesystem::path& file,
                  const MissingParts& missing) {
  std::string text = what + " '" + platform::utf8(file) + "' no tiene ";
  if (!missing.tables.empty())
    text +=
        (missing.tables.size() == 1 ? "la tabla " : "las tablas ") + spanishList(missing.tables);
  if (!missing.tables.empty() && !missing.columns.empty()) text += " ni ";
  if (!missing.columns.empty())
    text += (missing.columns.size() == 1 ? "la columna " : "las columnas ") +
            spanishList(missing.columns);
  return text + ".";
}

}  // namespace

MissingParts missingSourceParts(engine::Connection& cnnOrigen) {
  return missingParts(cnnOrigen, [](TableRole role) {
    return role == TableRole::Record || role == TableRole::UnitCatalogue;
  });
}

MissingParts missingCatalogueParts(engine::Connection& cnnCatalogo) {
  return missingParts(cnnCatalogo, [](TableRole role) {
    return role == TableRole::ReferenceCatalogue || role == TableRole::CertificateLink;
  });
}

std::string missingPartsText(const MissingParts& source, const std::filesystem::path& sourceFile,
                             const MissingParts& catalogue,
                             const std::filesystem::path& catalogueFile) {
  if (source.empty() && catalogue.empty()) return "";
  std::string text = "Faltan tablas o columnas que la validación lee; no se validó ninguna unidad.";
  if (!source.empty()) text += "\n" + lacks("La base de datos de egresos", sourceFile, source);
  if (!catalogue.empty())
    text += "\n" + lacks("La base de datos de catálogos", catalogueFile, catalogue);
  if (!source.empty())
    text +=
        "\nElija una base de datos de egresos con las tablas EGRESO, OBSTET, PRODUCTOS, DEFUNC, "
        "AFECCIONES, PROCEDIMIENTOS y CATCLUES completas.";
  if (!catalogue.empty())
    text += "\nUse la base de datos de catálogos oficial, " + std::string(kCatalogoOficial) +
            " (con CATCIE10, CATCIE9MC, CATLOCAL, CATSERVICIOS, catValidaciones y Folio).";
  return text;
}

void checkRunTables(Session& session) {
  const MissingParts source = missingSourceParts(session.cnnOrigen);
  const MissingParts catalogue = missingCatalogueParts(session.cnnCatalogo);
  if (source.empty() && catalogue.empty()) return;
  const std::filesystem::path catalogueFile =
      session.catalogueChoice.empty() ? cataloguePath(session.app) : session.catalogueChoice;
  const bool tableMissing = !source.tables.empty() || !catalogue.tables.empty();
  throw base::Error(tableMissing ? base::kErrNoSuchTable : base::kErrNoSuchColumn,
                    missingPartsText(source, session.sourceFile, catalogue, catalogueFile));
}

}  // namespace kolt::run
