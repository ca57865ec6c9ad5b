#include "run/unit_listing.h"

#include <algorithm>
#include <optional>
#include <set>

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

// The codes of `units` that `others` has not, or has under another name; sorted, each once.
std::vector<std::string> codesNotIn(const std::vector<Unit>& units, const std::vector<Unit>& others,
                                    bool renamed) {
  std::set<std::string> codes;
  for (const Unit& unit : units) {
    const bool known =
        std::ranges::any_of(others, [&](const Unit& o) { return o.code == unit.code; });
    const bool same = std::ranges::find(others, unit) != others.end();
    if (renamed ? known && !same : !known) codes.insert(unit.code);
  }
  return {codes.begin(), codes.end()};
}

}  // namespace

std::string listChangedMessage(const std::string& file, const std::vector<Unit>& listed,
                               const std::vector<Unit>& now) {
  // One part per kind of change, "la unidad X" or "las unidades X, Y".
  std::vector<std::string> parts;
  auto part = [&](const std::vector<std::string>& codes, const char* one, const char* many) {
    if (codes.size() == 1) parts.push_back(one + codes.front());
    if (codes.size() > 1) parts.push_back(many + codeList(codes));
  };
  part(codesNotIn(now, listed, false), "tiene la unidad nueva ", "tiene las unidades nuevas ");
  part(codesNotIn(listed, now, false), "ya no tiene la unidad ", "ya no tiene las unidades ");
  part(codesNotIn(now, listed, true), "cambió el nombre de la unidad ",
       "cambió el nombre de las unidades ");
  std::string changes;
  for (std::size_t i = 0; i < parts.size(); ++i)
    changes += (i == 0 ? "" : i + 1 == parts.size() ? " y " : ", ") + parts[i];
  if (changes.empty()) changes = "ofrece otras unidades";
  return "El archivo " + file +
         " cambió desde que se leyó su lista de unidades: la lista se leyó de nuevo y ahora " +
         changes +
         ". No se validó ninguna unidad: elija las unidades en la lista y pulse Validar otra vez.";
}

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
