#include "run/unit_validator.h"

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <sstream>

#include "base/platform/paths.h"
#include "base/quoting.h"
#include "engine/unit_index.h"
#include "results/summary.h"
#include "results/unit_report.h"
#include "results/verdict.h"
#include "results/workbook_sink.h"
#include "rules/frame_steps.h"
#include "run/date_utilities.h"
#include "run/period.h"
#include "run/session.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;
using engine::StatementKind;
using engine::StatementLog;

constexpr std::array kRecordTables = {"EGRESO", "OBSTET",     "PRODUCTOS",
                                      "DEFUNC", "AFECCIONES", "PROCEDIMIENTOS"};
constexpr std::array kCatalogues = {"CATCIE10", "CATCIE9MC", "CATLOCAL", "CATSERVICIOS"};

// Thrown from the rule frame's progress when the run was asked to stop: the unit's rules end there.
struct StopRequested {};

// The rule whose result table `sheet` is ("Validacion{number}"); 0 for any other sheet.
int ruleOfSheet(std::string_view sheet) {
  constexpr std::string_view kPrefix = "Validacion";
  if (sheet.size() <= kPrefix.size() || sheet.substr(0, kPrefix.size()) != kPrefix ||
      sheet[kPrefix.size()] == '0' || sheet.size() > kPrefix.size() + 6)
    return 0;
  int number = 0;
  for (char c : sheet.substr(kPrefix.size())) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

bool anyExportFailed(const std::vector<engine::StatementRecord>& records) {
  return std::any_of(records.begin(), records.end(), [](const engine::StatementRecord& r) {
    return r.kind == StatementKind::Export && r.failed();
  });
}

}  // namespace

UnitValidator::UnitValidator(const RunRequest& request, const results::ResultsFolder& folder,
                             bool keepTrace, UnitProgress progress)
    : request_(request),
      folder_(folder),
      keepTrace_(keepTrace),
      progress_(std::move(progress)),
      dates_(periodCondition(request)) {}

// One unit's validation in progress: its files, its statements not yet logged, its failures and
// its outcome so far.
struct UnitValidator::Pass {
  Pass(const results::ResultsFolder& folder, const std::string& code, bool keepTrace,
       const engine::StatementObserver& observer)
      : unit(code),
        lcBaseNueva(folder.workingDatabase(unit)),
        inDb(" IN '" + base::doubledQuotes(platform::utf8(lcBaseNueva)) + "'"),
        book(folder.unitWorkbook(unit)),
        gcLibroExcel(folder.draftOf(book)),
        statements(keepTrace ? &traceText : nullptr, observer) {
    cnnNueva.setExportSink(&sheets);
    sheets.keepFindings(ruleOfSheet, &found);
  }

  // A step of the unit that failed outside any statement.
  void failed(const std::string& step, const base::Error& e) {
    out.log.failure(unit, step, e);
    ++failures;
  }
  // Logs the statements run since the last call; their time counts as copying unless `ofRules`.
  void logSince(bool ofRules = false) {
    failures += logStatements(out.log, unit, statements.takeRecords(), out.times, ofRules);
  }
  UnitValidation finish() {
    out.trace = traceText.str();
    out.traceIntact = out.traceIntact && statements.traceIntact();
    return std::move(out);
  }

  const std::string unit;
  const fs::path lcBaseNueva;
  const std::string inDb;
  const fs::path book, gcLibroExcel;
  std::ostringstream traceText;
  StatementLog statements;
  results::WorkbookSink sheets;  // before the connection that writes into it
  engine::Connection cnnNueva;
  rules::FrameReport report;
  std::vector<results::Finding> found;  // the rows the rules exported
  int failures = 0;
  std::int64_t discharges = -1;
  UnitValidation out;
};

bool UnitValidator::stopRequested() const {
  return request_.cancel != nullptr && request_.cancel->load();
}

// A unit stopped at the user's request leaves nothing behind: no working database, no draft, and
// no verdict, since its rules did not all run.
UnitValidation UnitValidator::stopped(Pass& pass) {
  pass.cnnNueva.close();
  std::error_code ec;
  fs::remove(pass.gcLibroExcel, ec);
  fs::remove(pass.lcBaseNueva, ec);
  pass.out.cancelled = true;
  return pass.finish();
}

UnitValidation UnitValidator::validate(const Unit& unit, SourceCheck* sourceCheck) {
  Pass pass(folder_, unit.code, keepTrace_, request_.statementRan);
  std::error_code ec;
  fs::remove(pass.lcBaseNueva, ec);
  const bool usable = makeWorkingDatabase(pass);
  if (usable && !copyRecords(pass, sourceCheck))
    return pass.out.cancelled ? stopped(pass) : pass.finish();
  if (stopRequested()) return stopped(pass);
  if (sourceCheck) sourceCheck->firstUnitCopied();

  // The rules fill the workbook in memory; it is written once, whole, and takes its name then.
  try {
    folder_.discard(pass.book);
  } catch (const base::Error& e) {
    pass.failed("libro anterior", e);
  }
  try {
    if (usable) runRules(pass);
  } catch (const StopRequested&) {
    return stopped(pass);
  }
  if (stopRequested()) return stopped(pass);
  const bool findings = !pass.report.findings().empty();
  UnitResult& result = pass.out.result;
  result.unit = pass.unit;
  result.period = periodText(request_);
  result.name = unit.name;
  result.rules = std::move(pass.report.rules);
  result.discharges = pass.discharges;
  result.found = std::move(pass.found);
  compareWithEarlier(pass, result);
  // The workbook's own summary gives the verdict the unit has once its workbook is written.
  result.verdict = results::unitVerdict({findings, true, pass.failures, pass.discharges});
  const bool workbookWritten = writeWorkbook(pass);
  // A stop that cut the workbook's writing short leaves the unit unfinished, not incomplete.
  if (!workbookWritten && findings && stopRequested()) return stopped(pass);
  pass.cnnNueva.close();
  fs::remove(pass.gcLibroExcel, ec);
  fs::remove(pass.lcBaseNueva, ec);

  result.failedStatements = pass.failures;
  result.verdict =
      results::unitVerdict({findings, workbookWritten, pass.failures, pass.discharges});
  return pass.finish();
}

bool UnitValidator::makeWorkingDatabase(Pass& pass) {
  try {
    // Other runs may be reading the source and the catalogue meanwhile, and either may lie where
    // nobody may write: a run only reads them.
    if (!source_.isOpen()) {
      source_.openReadOnly(request_.source);
      source_.setReadOnce();
      source_.stopWhen(request_.cancel);
    }
    if (!catalogue_.isOpen()) {
      if (request_.catalogueImage)
        catalogue_.openImage(*request_.catalogueImage);
      else
        catalogue_.openReadOnly(request_.catalogue);
      catalogue_.stopWhen(request_.cancel);
    }
    engine::Connection::createDatabase(pass.lcBaseNueva);
    return true;
  } catch (const base::Error& e) {
    // This unit's files cannot be made; the other units may still be validated.
    pass.failed("base de trabajo", e);
    return false;
  }
}

bool UnitValidator::copyRecords(Pass& pass, SourceCheck* sourceCheck) {
  const std::string where = " WHERE  clues = '" + base::doubledQuotes(pass.unit) + "'" + dates_;
  std::vector<std::string> copies;
  for (const char* table : kRecordTables)
    copies.push_back(std::string("SELECT * INTO ") + table + pass.inDb + " FROM " + table + " " +
                     where);
  copies.push_back("SELECT * INTO CATCLUES" + pass.inDb + " FROM CATCLUES");
  for (const auto& copy : copies) {
    const engine::StatementRecord& copied =
        pass.statements.execute(source_, 0, StatementKind::WorkTable, copy);
    // The first copy is EGRESO's: its rows are the discharges the unit's rules check.
    if (&copy == &copies.front()) pass.discharges = copied.ok ? copied.rows : -1;
    // A copy cut short by a request to stop says nothing of the source.
    if (stopRequested()) {
      pass.out.cancelled = true;
      return false;
    }
    if (sourceCheck && sourceCheck->showsUnusable(copied)) {
      pass.out.sourceUnusable = copied.error();
      pass.logSince();
      std::error_code ec;
      fs::remove(pass.lcBaseNueva, ec);
      return false;
    }
  }
  // A catalogue that cannot be copied fails the rules that read it, each in its record.
  for (const char* table : kCatalogues)
    pass.statements.execute(catalogue_, 0, StatementKind::WorkTable,
                            std::string("SELECT * INTO ") + table + pass.inDb + " FROM " + table);
  pass.statements.execute(
      catalogue_, 0, StatementKind::WorkTable,
      "SELECT * INTO catValidaciones" + pass.inDb + " FROM catValidaciones ORDER BY Validacion");
  pass.logSince();
  return true;
}

void UnitValidator::runRules(Pass& pass) {
  engine::Connection& cnnNueva = pass.cnnNueva;
  try {
    cnnNueva.open(pass.lcBaseNueva);
    cnnNueva.setScratch();
    cnnNueva.setRunStart(request_.started);
    cnnNueva.stopWhen(request_.cancel);
    engine::indexWorkingDatabase(cnnNueva);
    pass.sheets.begin(pass.gcLibroExcel);
    try {
      if (request_.catalogueImage)
        cnnNueva.link("Folio", *request_.catalogueImage, "Folio");
      else
        cnnNueva.link("Folio", request_.catalogue, "Folio");
    } catch (const base::Error& e) {
      pass.failed("vínculo Folio", e);
    }
    addOfficeDescriptions(pass);
    rules::FrameOptions options;
    options.trace = keepTrace_ ? &pass.traceText : nullptr;
    if (!request_.officeRules.empty()) options.officeRules = &request_.officeRules;
    options.afterStatement = request_.statementRan;
    options.progress = [&](const rules::RuleProgress& p) {
      if (stopRequested()) throw StopRequested{};
      if (progress_) progress_(pass.unit, p);
    };
    pass.report = rules::Validaciones(cnnNueva, pass.gcLibroExcel, options);
  } catch (const base::Error& e) {
    pass.failed("base de trabajo", e);
  }
  pass.out.traceIntact = pass.report.traceIntact;
  pass.failures +=
      logStatements(pass.out.log, pass.unit, pass.report.statements, pass.out.times, true);
}

// The unit's workbook lists every rule it ran: the office's rules follow the catalogue's rows of
// catValidaciones, in number order, as their sheets follow rule 113's.
void UnitValidator::addOfficeDescriptions(Pass& pass) {
  for (const rules::OfficeRule& rule : request_.officeRules.rules)
    pass.statements.execute(pass.cnnNueva, rule.number, StatementKind::WorkTable,
                            "INSERT INTO catValidaciones (Validacion, Descripcion) VALUES (" +
                                std::to_string(rule.number) + ", '" +
                                base::doubledQuotes(rule.description) + "')");
  pass.logSince();
}

void UnitValidator::compareWithEarlier(Pass& pass, UnitResult& result) const {
  std::set<int> failedNow;
  for (const rules::RuleRun& rule : result.rules)
    if (rule.failed) failedNow.insert(rule.number);
  std::optional<results::EarlierUnit> earlier;
  try {
    if (request_.earlier) earlier = request_.earlier(result.unit);
  } catch (const base::Error& e) {
    pass.out.log.note(pass.unit,
                      e.description() + " La unidad no se compara con validaciones anteriores.");
  }
  result.changes =
      results::compareFindings(result.found, failedNow, earlier, timeStamp(request_.started));
}

// A workbook missing some sheet would pass for the unit's full findings: it is written only when
// every export succeeded and no rule was cut short by a full disk.
bool UnitValidator::writeWorkbook(Pass& pass) {
  const std::vector<rules::RuleRun>& ran = pass.out.result.rules;
  const bool anySheet =
      std::any_of(ran.begin(), ran.end(), [](const rules::RuleRun& r) { return r.exported; });
  if (!anySheet || !pass.cnnNueva.isOpen()) return false;
  // A failure is in its record, like the rules' exports.
  rules::ArchivoExcel(pass.cnnNueva, pass.gcLibroExcel, "catValidaciones", pass.statements);
  const bool whole =
      !anyExportFailed(pass.report.statements) && !anyExportFailed(pass.statements.records());
  pass.logSince();
  const bool cutShort = pass.out.log.diskFailures() > 0;
  try {
    if (!whole || cutShort)
      throw base::Error(base::kErrWorkbook,
                        "El libro no se guardó porque le faltarían hallazgos de la unidad.");
    if (xls::Workbook* book = pass.sheets.gathered()) {
      results::ReportContext context;
      const fs::path source = request_.sourceFile.empty() ? request_.source : request_.sourceFile;
      std::error_code absoluteError;
      const fs::path absolute = fs::absolute(source, absoluteError);
      context.source = platform::utf8(absoluteError ? source : absolute);
      const fs::path catalogue =
          request_.catalogueFile.empty() ? request_.catalogue : request_.catalogueFile;
      context.catalogue = platform::utf8(catalogue);
      context.demonstrationCatalogue = isDemonstrationCatalogue(catalogue);
      context.started = timeStamp(request_.started);
      context.descriptions = request_.descriptions.get();
      results::addUnitReport(*book, pass.out.result, context);
    }
    if (pass.sheets.finish()) {
      folder_.publish(pass.book);
      return true;
    }
  } catch (const base::Error& e) {
    pass.failed(platform::utf8(pass.book.filename()), e);
  }
  return false;
}

}  // namespace kolt::run
