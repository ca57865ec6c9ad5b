#include "run/unit_listing.h"

#include <optional>

#include "access/companion.h"
#include "run/source_tables.h"

namespace kolt::run {
namespace {

constexpr std::size_t kCodesNamed = 5;

std::string textOf(const base::Value& value) {
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  if (const auto* n = std::get_if<std::int64_t>(&value)) return std::to_string(*n);
  return "";
}

std::string codeList(const std::vector<std::string>& codes) {
  std::string list;
  for (std::size_t i = 0; i < codes.size() && i < kCodesNamed; ++i)
    list += (i == 0 ? "" : ", ") + codes[i];
  if (codes.size() > kCodesNamed)
    list += " y " + std::to_string(codes.size() - kCodesNamed) + " más";
  return list;
}

}  // namespace

std::string UnitListing::notice() const {
  if (units.empty() && notInCatalogue.empty())
    return "La tabla EGRESO de esta base de datos no tiene egresos: no hay unidades que validar.";
  if (notInCatalogue.empty()) return "";
  const std::string advice =
      " Agréguelas a la tabla CATCLUES y vuelva a abrir la base de datos para poder validarlas.";
  if (units.empty())
    return "Ninguna unidad de EGRESO está en el catálogo CATCLUES (" + codeList(notInCatalogue) +
           "), por eso la lista está vacía." + advice;
  if (notInCatalogue.size() == 1)
    return "La unidad " + notInCatalogue.front() +
           " de EGRESO no está en el catálogo CATCLUES y no aparece en la lista." +
           " Agréguela a la tabla CATCLUES y vuelva a abrir la base de datos para poder validarla.";
  return "Las unidades " + codeList(notInCatalogue) +
         " de EGRESO no están en el catálogo CATCLUES y no aparecen en la lista." + advice;
}

UnitListing readUnits(engine::Connection& cnnOrigen) {
  UnitListing listing;
  engine::StatementLog log;
  listing.units = CargaUnidades(cnnOrigen, log);
  // A NULL among the catalogue's codes would make NOT IN match nothing at all.
  engine::Recordset missing = cnnOrigen.openRecordset(
      "SELECT CLUES FROM CLUESSEL WHERE CLUES NOT IN "
      "(SELECT CLUES FROM CATCLUES WHERE CLUES IS NOT NULL) ORDER BY CLUES");
  for (; !missing.eof(); missing.moveNext())
    listing.notInCatalogue.push_back(textOf(missing.field("CLUES")));
  return listing;
}

UnitListing listUnits(const std::filesystem::path& source, const access::ImportOptions& options) {
  std::optional<engine::DatabaseImage> image;  // before the connection that reads it
  engine::Connection cnnOrigen;
  if (const auto engineFile = access::companionBesideOnly(source, options)) {
    try {
      cnnOrigen.openReadOnly(*engineFile);
    } catch (const base::Error&) {
      // A companion the engine cannot read is built again, in its own place, once.
      if (*engineFile == source) throw;
      access::discardCompanion(*engineFile);
      cnnOrigen.openReadOnly(access::companionBesideOnly(source, options).value_or(source));
    }
  } else {
    // The list needs the discharges' units and their names only.
    access::ImportOptions memory = options;
    memory.tables = {"EGRESO", "CATCLUES"};
    image.emplace(access::importAccessToMemory(source, memory), source);
    cnnOrigen.openImage(*image);
  }
  return readUnits(cnnOrigen);
}

}  // namespace kolt::run
