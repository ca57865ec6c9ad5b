#include "results/history.h"

#include <sqlite3.h>

#include <ctime>
#include <set>

#include "base/error.h"
#include "base/platform/local_time.h"
#include "base/platform/paths.h"
#include "results/findings_workbook.h"

namespace kolt::results {
namespace {

namespace fs = std::filesystem;

constexpr int kApplicationId = 0x4B4F4C54;  // "KOLT"
constexpr int kVersion = 1;

constexpr const char* kSchema = R"(
CREATE TABLE ejecuciones(
  id INTEGER PRIMARY KEY,
  inicio TEXT NOT NULL,
  fin TEXT NOT NULL,
  version TEXT NOT NULL,
  origen TEXT NOT NULL,
  origen_bytes INTEGER,
  origen_modificado TEXT NOT NULL,
  catalogo TEXT NOT NULL,
  catalogo_sha256 TEXT NOT NULL,
  catalogo_demostracion INTEGER NOT NULL,
  periodo_desde TEXT NOT NULL,
  periodo_hasta TEXT NOT NULL,
  periodo TEXT NOT NULL,
  unidades_pedidas TEXT NOT NULL,
  cuantas_pedidas INTEGER NOT NULL,
  terminacion TEXT NOT NULL);
CREATE TABLE unidades(
  ejecucion INTEGER NOT NULL REFERENCES ejecuciones(id),
  unidad TEXT NOT NULL,
  nombre TEXT NOT NULL,
  resultado TEXT NOT NULL,
  egresos INTEGER,
  hallazgos INTEGER NOT NULL,
  fallidas INTEGER NOT NULL,
  reglas_fallidas TEXT NOT NULL,
  PRIMARY KEY(ejecucion, unidad));
CREATE TABLE hallazgos(
  ejecucion INTEGER NOT NULL REFERENCES ejecuciones(id),
  unidad TEXT NOT NULL,
  regla INTEGER NOT NULL,
  registro TEXT NOT NULL,
  egreso TEXT NOT NULL,
  fila TEXT NOT NULL,
  primera_vez TEXT NOT NULL);
CREATE INDEX hallazgos_por_unidad ON hallazgos(unidad, ejecucion);
)";

// What went wrong, in the user's words; the engine's own goes to the error's detail.
std::string inWords(int code) {
  switch (code & 0xff) {
    case SQLITE_FULL:
      return "el disco está lleno";
    case SQLITE_CANTOPEN:
      return "no se puede abrir ni crear ese archivo (puede ser una carpeta, o una carpeta en la "
             "que no se puede escribir)";
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return "no se permite escribir en él";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "otro programa lo está usando";
    case SQLITE_IOERR:
      return "el disco no pudo leerlo o escribirlo";
    case SQLITE_NOMEM:
      return "falta memoria";
    default:
      return "error " + std::to_string(code) + " del motor de base de datos";
  }
}

[[noreturn]] void fail(sqlite3* db, const std::string& what) {
  const int code = db ? sqlite3_extended_errcode(db) : SQLITE_NOMEM;
  const long number = (code & 0xff) == SQLITE_FULL ? base::kErrDiskFull : base::kErrFile;
  throw base::Error(
      number, "No se pudo " + what + " el historial " + kHistorial + ": " + inWords(code) + ".",
      db ? sqlite3_errmsg(db) : "");
}

void run(sqlite3* db, const char* sql, const std::string& what) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail(db, what);
}

// A prepared statement, finalized however the scope ends.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql, const std::string& what) : db_(db), what_(what) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) fail(db, what);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& text(int i, const std::string& value) {
    sqlite3_bind_text(stmt_, i, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& integer(int i, std::int64_t value) {
    sqlite3_bind_int64(stmt_, i, value);
    return *this;
  }
  Statement& null(int i) {
    sqlite3_bind_null(stmt_, i);
    return *this;
  }
  // Runs a statement that returns no rows, ready to be bound and run again.
  void done() {
    if (sqlite3_step(stmt_) != SQLITE_DONE) fail(db_, what_);
    sqlite3_reset(stmt_);
  }
  bool row() {
    const int step = sqlite3_step(stmt_);
    if (step == SQLITE_ROW) return true;
    if (step != SQLITE_DONE) fail(db_, what_);
    return false;
  }
  std::string columnText(int i) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i))) : "";
  }
  std::int64_t columnInteger(int i) const { return sqlite3_column_int64(stmt_, i); }
  void reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string what_;
};

int pragmaValue(sqlite3* db, const char* pragma) {
  Statement read(db, pragma, "leer");
  return read.row() ? static_cast<int>(read.columnInteger(0)) : 0;
}

bool hasTables(sqlite3* db) {
  Statement count(db, "SELECT count(*) FROM sqlite_schema", "leer");
  return count.row() && count.columnInteger(0) > 0;
}

// A file that is there but is not a history this program can read: set aside, never read.
struct NotAHistory {
  std::string why;
};

// Opens `file`, making it when missing. Throws NotAHistory when the file is not a history of this
// program, or is damaged; base::Error when it cannot be opened (a folder nobody may write, a disk
// that fails), which says nothing of its contents.
sqlite3* openHistory(const fs::path& file, bool create) {
  sqlite3* db = nullptr;
  // Read and write even to list: a run killed halfway leaves its transaction's journal, which
  // only a connection that may write rolls back; where nobody may write, reading must do.
  const int flags =
      SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOFOLLOW;
  int opened = sqlite3_open_v2(platform::utf8(file).c_str(), &db, flags, nullptr);
  if (opened != SQLITE_OK && !create) {
    sqlite3_close(db);
    db = nullptr;
    opened = sqlite3_open_v2(platform::utf8(file).c_str(), &db,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr);
  }
  if (opened != SQLITE_OK) {
    const std::string detail = db ? sqlite3_errmsg(db) : "";
    sqlite3_close(db);
    throw base::Error(
        base::kErrFile,
        "No se pudo abrir el historial " + std::string(kHistorial) + ": " + inWords(opened) + ".",
        detail);
  }
  try {
    sqlite3_busy_timeout(db, 5000);
    if (!hasTables(db) && create) {
      run(db, "BEGIN", "empezar");
      run(db, kSchema, "empezar");
      run(db,
          ("PRAGMA application_id=" + std::to_string(kApplicationId) +
           "; PRAGMA user_version=" + std::to_string(kVersion))
              .c_str(),
          "empezar");
      run(db, "COMMIT", "empezar");
    }
    if (pragmaValue(db, "PRAGMA application_id") != kApplicationId ||
        pragmaValue(db, "PRAGMA user_version") != kVersion)
      throw NotAHistory{"no es un historial de este programa"};
    Statement check(db, "PRAGMA quick_check", "revisar");
    if (!check.row() || check.columnText(0) != "ok") throw NotAHistory{"está dañado"};
    // Each table as this program makes it: a history of another version, or edited by hand,
    // is not read as one.
    Statement tables(db,
                     "SELECT (SELECT count(*) FROM ejecuciones WHERE id IS NULL), "
                     "(SELECT count(*) FROM unidades WHERE reglas_fallidas IS NULL), "
                     "(SELECT count(*) FROM hallazgos WHERE primera_vez IS NULL)",
                     "revisar");
    tables.row();
  } catch (const base::Error& e) {
    const int code = sqlite3_errcode(db);
    sqlite3_close(db);
    if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT || code == SQLITE_ERROR)
      throw NotAHistory{code == SQLITE_ERROR ? "no es un historial de este programa"
                                             : "está dañado"};
    throw;
  } catch (const NotAHistory&) {
    sqlite3_close(db);
    throw;
  }
  return db;
}

std::string setAsideName() {
  const std::tm now = platform::localTime(std::time(nullptr));
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &now);
  return std::string("Historial-apartado-") + stamp + ".db";
}

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const auto& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

std::string failedRules(const UnitResult& unit) {
  std::string text;
  for (const auto& rule : unit.rules)
    if (rule.failed) text += (text.empty() ? "" : ",") + std::to_string(rule.number);
  return text;
}

std::set<int> ruleNumbers(const std::string& text) {
  std::set<int> numbers;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(',', at);
    if (end == std::string::npos) end = text.size();
    try {
      numbers.insert(std::stoi(text.substr(at, end - at)));
    } catch (const std::exception&) {
    }
    at = end + 1;
  }
  return numbers;
}

}  // namespace

History::History(const fs::path& folder) {
  const fs::path file = folder / kHistorial;
  try {
    db_ = openHistory(file, true);
    return;
  } catch (const base::Error& e) {
    notes_.push_back(e.description() +
                     " Esta validación no se guarda en él ni se compara con "
                     "las anteriores.");
    return;
  } catch (const NotAHistory& e) {
    std::error_code ec;
    const fs::path aside = folder / setAsideName();
    fs::rename(file, aside, ec);
    if (ec) {
      notes_.push_back("El historial " + std::string(kHistorial) + " no se puede leer (" + e.why +
                       ") ni apartarse: esta validación no se guarda en él ni se compara con "
                       "las anteriores.");
      return;
    }
    for (const char* extra : {"-journal", "-wal", "-shm"}) {
      fs::path companion = file;
      companion += extra;
      fs::remove(companion, ec);
    }
    notes_.push_back("El historial " + std::string(kHistorial) + " no se puede leer (" + e.why +
                     "): se apartó como " + platform::utf8(aside.filename()) +
                     " y se empezó uno nuevo.");
  }
  try {
    db_ = openHistory(file, true);
  } catch (const base::Error& e) {
    notes_.push_back(e.description() + " Esta validación no se guarda en él.");
  } catch (const NotAHistory& e) {
    notes_.push_back("No se pudo empezar el historial " + std::string(kHistorial) + " (" + e.why +
                     "): esta validación no se guarda en él.");
  }
}

History::~History() {
  if (run_ >= 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(db_);
}

std::optional<EarlierUnit> History::earlier(const std::string& unit, const std::string& periodStart,
                                            const std::string& periodEnd) const {
  if (!db_) return std::nullopt;
  std::lock_guard lock(mutex_);
  Statement latest(db_,
                   "SELECT e.id, e.inicio, u.reglas_fallidas FROM unidades u JOIN ejecuciones e "
                   "ON e.id = u.ejecucion WHERE u.unidad = ?1 AND e.periodo_desde = ?2 AND "
                   "e.periodo_hasta = ?3 ORDER BY e.inicio DESC, e.id DESC LIMIT 1",
                   "leer");
  latest.text(1, unit).text(2, periodStart).text(3, periodEnd);
  if (!latest.row()) return std::nullopt;
  EarlierUnit earlier;
  earlier.started = latest.columnText(1);
  earlier.failedRules = ruleNumbers(latest.columnText(2));
  Statement rows(db_,
                 "SELECT regla, registro, egreso, fila, primera_vez FROM hallazgos WHERE "
                 "ejecucion = ?1 AND unidad = ?2",
                 "leer");
  rows.integer(1, latest.columnInteger(0)).text(2, unit);
  while (rows.row()) {
    KeptFinding& kept = earlier.findings.emplace_back();
    kept.finding.rule = static_cast<int>(rows.columnInteger(0));
    kept.finding.record = rows.columnText(1);
    kept.finding.dischargeDate = rows.columnText(2);
    kept.finding.row = rows.columnText(3);
    kept.firstSeen = rows.columnText(4);
  }
  return earlier;
}

void History::abandon(const base::Error& e) {
  if (run_ >= 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  run_ = -1;
  throw e;
}

void History::begin(const RunRecord& runRecord) {
  if (!db_) return;
  std::lock_guard lock(mutex_);
  try {
    run(db_, "BEGIN IMMEDIATE", "escribir en");
    run_ = 0;
    Statement runRow(db_,
                     "INSERT INTO ejecuciones(inicio, fin, version, origen, origen_bytes, "
                     "origen_modificado, catalogo, catalogo_sha256, catalogo_demostracion, "
                     "periodo_desde, periodo_hasta, periodo, unidades_pedidas, cuantas_pedidas, "
                     "terminacion) VALUES (?1, '', ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, "
                     "?13, '')",
                     "escribir en");
    runRow.text(1, runRecord.run.started)
        .text(2, programVersion())
        .text(3, platform::utf8(runRecord.run.source))
        .text(5, runRecord.run.sourceModified)
        .text(6, platform::utf8(runRecord.run.catalogue))
        .text(7, runRecord.run.catalogueSha256)
        .integer(8, runRecord.run.demonstrationCatalogue ? 1 : 0)
        .text(9, runRecord.periodStart)
        .text(10, runRecord.periodEnd)
        .text(11, runRecord.run.period)
        .text(12, joined(runRecord.run.unitsAsked))
        .integer(13, static_cast<std::int64_t>(runRecord.run.unitsAsked.size()));
    if (runRecord.run.sourceBytes)
      runRow.integer(4, static_cast<std::int64_t>(*runRecord.run.sourceBytes));
    else
      runRow.null(4);
    runRow.done();
    run_ = sqlite3_last_insert_rowid(db_);
  } catch (const base::Error& e) {
    abandon(e);
  }
}

void History::addFindings(const UnitResult& unit) {
  if (run_ < 0) return;
  std::lock_guard lock(mutex_);
  try {
    Statement findingRow(db_, "INSERT INTO hallazgos VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                         "escribir en");
    std::map<std::pair<int, std::string>, const std::string*> firstSeen;
    for (const TrackedFinding& tracked : unit.changes.findings)
      firstSeen.emplace(std::pair{tracked.finding.rule, tracked.finding.record},
                        &tracked.firstSeen);
    for (const Finding& finding : unit.found) {
      const auto seen = firstSeen.find({finding.rule, finding.record});
      findingRow.integer(1, run_)
          .text(2, unit.unit)
          .integer(3, finding.rule)
          .text(4, finding.record)
          .text(5, finding.dischargeDate)
          .text(6, finding.row)
          .text(7, seen == firstSeen.end() ? std::string() : *seen->second)
          .done();
    }
  } catch (const base::Error& e) {
    abandon(e);
  }
}

void History::finish(const RunRecord& runRecord, const std::vector<UnitResult>& units) {
  if (run_ < 0) return;
  std::lock_guard lock(mutex_);
  try {
    Statement ending(db_, "UPDATE ejecuciones SET fin = ?1, terminacion = ?2 WHERE id = ?3",
                     "escribir en");
    ending.text(1, runRecord.ended).text(2, runRecord.run.ending).integer(3, run_).done();
    Statement unitRow(db_, "INSERT INTO unidades VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
                      "escribir en");
    for (const UnitResult& unit : units) {
      unitRow.integer(1, run_).text(2, unit.unit).text(3, unit.name).text(4, unit.verdict);
      if (unit.discharges >= 0)
        unitRow.integer(5, unit.discharges);
      else
        unitRow.null(5);
      unitRow.integer(6, unit.findings())
          .integer(7, unit.failedStatements)
          .text(8, failedRules(unit))
          .done();
    }
    // Findings of units the run did not finish (a unit whose workbook could not be placed still
    // finished) have no unit row: they are not kept.
    run(db_,
        ("DELETE FROM hallazgos WHERE ejecucion = " + std::to_string(run_) +
         " AND unidad NOT IN (SELECT unidad FROM unidades WHERE ejecucion = " +
         std::to_string(run_) + ")")
            .c_str(),
        "escribir en");
    run(db_, "COMMIT", "escribir en");
    run_ = -1;
  } catch (const base::Error& e) {
    abandon(e);
  }
}

std::vector<KeptRun> History::list(const fs::path& folder) {
  const fs::path file = folder / kHistorial;
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(file, ec))) return {};
  sqlite3* db = nullptr;
  try {
    db = openHistory(file, false);
  } catch (const NotAHistory& e) {
    throw base::Error(base::kErrFile, platform::utf8(file) + " " + e.why + ".");
  }
  std::vector<KeptRun> runs;
  try {
    Statement read(db,
                   "SELECT e.inicio, e.origen, e.periodo, e.terminacion, e.cuantas_pedidas, "
                   "e.catalogo_demostracion, (SELECT count(*) FROM unidades u WHERE u.ejecucion "
                   "= e.id), (SELECT coalesce(sum(u.hallazgos), 0) FROM unidades u WHERE "
                   "u.ejecucion = e.id) FROM ejecuciones e ORDER BY e.inicio DESC, e.id DESC",
                   "leer");
    while (read.row()) {
      KeptRun& kept = runs.emplace_back();
      kept.started = read.columnText(0);
      kept.source = read.columnText(1);
      kept.period = read.columnText(2);
      kept.ending = read.columnText(3);
      kept.unitsAsked = read.columnInteger(4);
      kept.demonstrationCatalogue = read.columnInteger(5) != 0;
      kept.units = read.columnInteger(6);
      kept.findings = read.columnInteger(7);
    }
  } catch (const base::Error&) {
    sqlite3_close(db);
    throw;
  }
  sqlite3_close(db);
  return runs;
}

}  // namespace kolt::results
