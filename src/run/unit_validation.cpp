#include "run/unit_validation.h"

#include <algorithm>
#include <array>
#include <sstream>

#include "db/quoting.h"
#include "db/unit_index.h"
#include "rules/frame_steps.h"
#include "run/date_utilities.h"
#include "run/source_tables.h"
#include "run/summary.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;
using rules::StatementKind;
using rules::StatementLog;

constexpr std::array kRecordTables = {"EGRESO", "OBSTET",     "PRODUCTOS",
                                      "DEFUNC", "AFECCIONES", "PROCEDIMIENTOS"};
constexpr std::array kCatalogues = {"CATCIE10", "CATCIE9MC", "CATLOCAL", "CATSERVICIOS"};

// The copy condition's date part.
std::string periodDates(const RunRequest& request) {
  std::string dates;
  if (!request.fechaIni.empty()) dates += " AND CDATE(egreso) >= " + FechaSQL(request.fechaIni);
  if (!request.fechaFin.empty()) dates += " AND CDATE(egreso) <= " + FechaSQL(request.fechaFin);
  return dates;
}

bool anyExportFailed(const std::vector<rules::StatementRecord>& records) {
  return std::any_of(records.begin(), records.end(), [](const rules::StatementRecord& r) {
    return r.kind == StatementKind::Export && r.failed();
  });
}

// Tells the units waiting on the first one whether its copies went through, once, whatever way
// its validation ends.
class CopyGate {
 public:
  explicit CopyGate(std::promise<bool>* copied) : copied_(copied) {}
  ~CopyGate() { open(false); }
  CopyGate(const CopyGate&) = delete;
  CopyGate& operator=(const CopyGate&) = delete;
  void open(bool sourceUsable) {
    if (copied_) copied_->set_value(sourceUsable);
    copied_ = nullptr;
  }

 private:
  std::promise<bool>* copied_;
};

}  // namespace

std::int64_t UnitResult::findings() const {
  std::int64_t rows = 0;
  for (const rules::RuleRun& run : rules) rows += std::max<std::int64_t>(run.rows, 0);
  return rows;
}

RunTimes& RunTimes::operator+=(const RunTimes& other) {
  copying += other.copying;
  rules += other.rules;
  workbooks += other.workbooks;
  return *this;
}

int logStatements(RunLog& log, const std::string& unit,
                  const std::vector<rules::StatementRecord>& records, RunTimes& times,
                  bool ofRules) {
  int failed = 0;
  for (const auto& r : records) {
    if (r.kind == StatementKind::Export)
      times.workbooks += r.duration;
    else if (ofRules)
      times.rules += r.duration;
    else
      times.copying += r.duration;
    if (!r.failed()) continue;
    ++failed;
    log.failure(unit, r);
  }
  return failed;
}

std::string periodText(const RunRequest& request) {
  const std::string ini = request.fechaIni.empty() ? "" : FechaSQL(request.fechaIni);
  const std::string fin = request.fechaFin.empty() ? "" : FechaSQL(request.fechaFin);
  if (!ini.empty() && !fin.empty()) return "Fechaini: " + ini + ", Fechafin: " + fin;
  if (!ini.empty()) return "Fechaini: " + ini;
  if (!fin.empty()) return " Fechafin: " + fin;
  return "TODO";
}

UnitValidator::UnitValidator(const RunRequest& request, const db::ResultsFolder& folder,
                             std::shared_ptr<db::TranslationCache> cache, bool keepTrace,
                             UnitProgress progress)
    : request_(request),
      folder_(folder),
      cache_(cache),
      keepTrace_(keepTrace),
      progress_(std::move(progress)),
      dates_(periodDates(request)),
      origen_(cache),
      catalogo_(cache) {}

UnitValidation UnitValidator::validate(const std::string& entry, std::promise<bool>* copied) {
  CopyGate gate(copied);
  UnitValidation out;
  const std::string unit = unitCode(entry);
  std::ostringstream traceText;
  std::ostream* trace = keepTrace_ ? &traceText : nullptr;
  const fs::path lcBaseNueva = folder_.workingDatabase(unit);
  const std::string inDb = " IN '" + db::doubledQuotes(lcBaseNueva.string()) + "'";
  const fs::path book = folder_.unitWorkbook(unit);
  const fs::path gcLibroExcel = folder_.draftOf(book);
  StatementLog unitStatements(trace);
  int unitFailures = 0;
  bool unitUsable = true;
  auto finishTrace = [&] {
    out.trace = traceText.str();
    out.traceIntact = out.traceIntact && unitStatements.traceIntact();
  };

  std::error_code ec;
  fs::remove(lcBaseNueva, ec);
  try {
    if (!origen_.isOpen()) {
      origen_.open(request_.source);
      origen_.setReadOnce();
    }
    if (!catalogo_.isOpen()) catalogo_.open(request_.catalogue);
    db::Connection::createDatabase(lcBaseNueva);
  } catch (const db::DbError& e) {
    // This unit's files cannot be made; the other units may still be validated.
    out.log.failure(unit, "base de trabajo", e);
    ++unitFailures;
    unitUsable = false;
  }
  if (unitUsable) {
    const std::string where = " WHERE  clues = '" + db::doubledQuotes(unit) + "'" + dates_;
    std::vector<std::string> copies;
    for (const char* table : kRecordTables)
      copies.push_back(std::string("SELECT * INTO ") + table + inDb + " FROM " + table + " " +
                       where);
    copies.push_back("SELECT * INTO CATCLUES" + inDb + " FROM CATCLUES");
    for (const auto& copy : copies) {
      try {
        unitStatements.execute(origen_, 0, StatementKind::WorkTable, copy);
      } catch (const db::DbError& e) {
        // The source lacks what every unit needs; a disk without room is this unit's trouble.
        if (copied != nullptr && e.number() != db::kErrDiskFull) {
          logStatements(out.log, unit, unitStatements.takeRecords(), out.times, false);
          fs::remove(lcBaseNueva, ec);
          out.sourceUnusable = e;
          finishTrace();
          return out;
        }
      }
    }
    for (const char* table : kCatalogues) {
      try {
        unitStatements.execute(catalogo_, 0, StatementKind::WorkTable,
                               std::string("SELECT * INTO ") + table + inDb + " FROM " + table);
      } catch (const db::DbError&) {
        // In its record.
      }
    }
    try {
      unitStatements.execute(
          catalogo_, 0, StatementKind::WorkTable,
          "SELECT * INTO catValidaciones" + inDb + " FROM catValidaciones ORDER BY Validacion");
    } catch (const db::DbError&) {
    }
    unitFailures += logStatements(out.log, unit, unitStatements.takeRecords(), out.times, false);
  }
  gate.open(true);

  // The rules fill the workbook in memory; it is written once, whole, and takes its name then.
  try {
    folder_.discard(book);
  } catch (const db::DbError& e) {
    out.log.failure(unit, "libro anterior", e);
    ++unitFailures;
  }
  rules::FrameReport report;
  db::Connection cnnNueva(cache_);
  if (unitUsable) {
    try {
      cnnNueva.open(lcBaseNueva);
      cnnNueva.setScratch();
      db::indexWorkingDatabase(cnnNueva);
      cnnNueva.beginWorkbook(gcLibroExcel);
      try {
        cnnNueva.link("Folio", request_.catalogue, "Folio");
      } catch (const db::DbError& e) {
        out.log.failure(unit, "vínculo Folio", e);
        ++unitFailures;
      }
      rules::FrameOptions options;
      options.trace = trace;
      if (progress_) options.progress = [&](const rules::RuleProgress& p) { progress_(unit, p); };
      report = rules::Validaciones(cnnNueva, gcLibroExcel, options);
    } catch (const db::DbError& e) {
      out.log.failure(unit, "base de trabajo", e);
      ++unitFailures;
    }
  }
  out.traceIntact = report.traceIntact;
  unitFailures += logStatements(out.log, unit, report.statements, out.times, true);

  // A workbook missing some sheet would pass for the unit's full findings: it is written only
  // when every export succeeded and no rule was cut short by a full disk.
  bool workbookWritten = false;
  const bool anySheet = std::any_of(report.rules.begin(), report.rules.end(),
                                    [](const rules::RuleRun& r) { return r.exported; });
  if (anySheet && cnnNueva.isOpen()) {
    try {
      rules::ArchivoExcel(cnnNueva, gcLibroExcel, "catValidaciones", unitStatements);
    } catch (const db::DbError&) {
      // In its record, like the rules' exports.
    }
    const bool whole =
        !anyExportFailed(report.statements) && !anyExportFailed(unitStatements.records());
    unitFailures += logStatements(out.log, unit, unitStatements.takeRecords(), out.times, false);
    const bool cutShort = out.log.diskFailures() > 0;
    try {
      if (!whole || cutShort)
        throw db::DbError(db::kErrWorkbook,
                          "El libro no se guardó porque le faltarían hallazgos de la unidad.");
      if (cnnNueva.finishWorkbook()) {
        folder_.publish(book);
        workbookWritten = true;
      }
    } catch (const db::DbError& e) {
      out.log.failure(unit, book.filename().string(), e);
      ++unitFailures;
    }
  }
  cnnNueva.close();
  fs::remove(gcLibroExcel, ec);
  fs::remove(lcBaseNueva, ec);

  const std::string resultado =
      veredicto(!report.findings().empty(), workbookWritten, unitFailures > 0);
  out.result = UnitResult{unit,         periodText(request_),   resultado, unitName(entry),
                          unitFailures, std::move(report.rules)};
  finishTrace();
  return out;
}

}  // namespace kolt::run
