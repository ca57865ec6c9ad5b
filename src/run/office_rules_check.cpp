#include "run/office_rules_check.h"

#include "base/error.h"
#include "schema/tables.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;

std::string nameInQuotes(std::string_view name) {
  std::string out = "\"";
  for (const char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// The working database's tables, empty, each with the columns and declared types it has in the
// database a unit copies it from: a source may hold columns the program itself never reads, and
// a rule of the office may read them.
void createTablesAsCopied(engine::Connection& checkDatabase, Session& session) {
  for (const schema::Table* table : schema::workingTables()) {
    const bool fromSource =
        table->role == schema::TableRole::Record || table->role == schema::TableRole::UnitCatalogue;
    engine::Connection& from = fromSource ? session.cnnOrigen : session.cnnCatalogo;
    engine::Recordset empty;
    try {
      empty = from.openRecordset("SELECT * FROM " + std::string(table->name) + " WHERE 1=0");
    } catch (const base::Error&) {
      continue;  // a rule that reads it is refused for the missing table
    }
    std::string create = "CREATE TABLE " + nameInQuotes(table->name) + " (";
    for (std::size_t i = 0; i < empty.columns().size(); ++i)
      create += (i ? ", " : "") + nameInQuotes(empty.columns()[i].name) + " " +
                empty.columns()[i].declaredType;
    checkDatabase.executeNative(create + ")");
  }
}

}  // namespace

std::vector<fs::path> officeRulesCandidates(const fs::path& app) {
  return {app / rules::kReglasAdicionales, userDataFolder() / rules::kReglasAdicionales};
}

fs::path officeRulesFile(const fs::path& app) {
  for (const fs::path& candidate : officeRulesCandidates(app)) {
    std::error_code ec;
    if (fs::exists(candidate, ec)) return candidate;
  }
  return {};
}

rules::OfficeRules checkedOfficeRules(rules::OfficeRulesFile file, Session& session) {
  // Compiled even when some rule's form was refused: the refusal must name every faulty rule, not
  // leave the user to find the next one at each attempt. Rules already refused are not compiled.
  if (!file.rules.empty()) {
    engine::Connection checkDatabase;
    checkDatabase.openInMemory();
    createTablesAsCopied(checkDatabase, session);
    rules::compileOfficeRules(file, checkDatabase);
  }
  return rules::acceptedRules(file);
}

rules::OfficeRules sessionOfficeRules(Session& session) {
  const fs::path file = officeRulesFile(session.app);
  if (file.empty()) return {};
  return checkedOfficeRules(rules::readOfficeRules(file), session);
}

}  // namespace kolt::run
