#include "rules/office_rules.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "base/error.h"
#include "base/platform/paths.h"
#include "engine/dialect/functions.h"
#include "engine/dialect/parser.h"
#include "engine/dialect/translation.h"
#include "rules/catalogue.h"
#include "schema/tables.h"

// The library as Debian ships its headers, compiled into this file alone: the Windows build then
// needs nothing but the same headers.
#define TOML_HEADER_ONLY 1
#include <toml++/toml.h>

namespace kolt::rules {
namespace {

namespace dialect = engine::dialect;

constexpr std::int64_t kLongestLimit = 86400;

[[noreturn]] void refuseFile(const std::filesystem::path& file, const std::string& what) {
  throw base::Error(base::kErrSyntax, "El archivo de reglas adicionales '" + platform::utf8(file) +
                                          "' no se puede usar: " + what);
}

int lineOf(const toml::node& node) {
  return static_cast<int>(node.source().begin.line);
}

bool sameName(std::string_view a, std::string_view b) {
  return dialect::compareIgnoringCase(a, b) == 0;
}

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

// What a statement that is not of the accepted forms does, for the refusal.
std::string whatItDoes(const dialect::Statement& st) {
  switch (st.kind) {
    case dialect::Statement::Kind::Select:
      if (!st.select->into) return "es una consulta sin INTO, que no guarda lo que encuentra";
      if (st.select->into->connect) return "exporta a un libro de cálculo";
      return "es un SELECT ... INTO";
    case dialect::Statement::Kind::Insert:
      return st.select ? "es un INSERT INTO ... SELECT" : "es un INSERT INTO ... VALUES";
    case dialect::Statement::Kind::CreateTable:
      return "crea la tabla " + st.table;
    case dialect::Statement::Kind::DropTable:
      return "borra la tabla " + st.table;
  }
  return {};
}

// The only forms a rule of the office may take, said in every refusal of a statement's form.
std::string acceptedForms(const std::string& target) {
  return "una regla adicional solo admite SELECT ... INTO " + target +
         " FROM ... como primera sentencia e INSERT INTO " + target +
         " SELECT ... como las siguientes";
}

// One [[regla]] table as read: the rule, how messages name it, and the first thing wrong with it.
struct ReadRule {
  OfficeRule rule;
  std::string label;  // "Regla 114 (línea 3)", "Regla de la línea 3" without a number
  std::string error;

  void fail(const std::string& what) {
    if (error.empty()) error = what;
  }
};

ReadRule readRule(const toml::table& table, int line) {
  ReadRule read;
  OfficeRule& rule = read.rule;
  rule.line = line;
  read.label = "Regla de la línea " + std::to_string(line);
  for (auto&& [key, node] : table)
    if (key != "numero" && key != "descripcion" && key != "sentencias")
      read.fail("la clave '" + std::string(key.str()) +
                "' no es de una regla (se esperan numero, descripcion y sentencias).");

  const toml::node* number = table.get("numero");
  if (number == nullptr || !number->is_integer()) {
    read.fail("numero falta o no es un número entero: escriba el número de la regla, de la " +
              std::to_string(kLastRule + 1) + " en adelante.");
  } else {
    const std::int64_t n = number->as_integer()->get();
    read.label = "Regla " + std::to_string(n) + " (línea " + std::to_string(line) + ")";
    if (n <= kLastRule || n > kLastOfficeRule)
      read.fail("el número " + std::to_string(n) +
                " no se admite: las reglas adicionales van de la " + std::to_string(kLastRule + 1) +
                " a la " + std::to_string(kLastOfficeRule) + " (hasta la " +
                std::to_string(kLastRule) + " son las del programa).");
    else
      rule.number = static_cast<int>(n);
  }

  const toml::node* description = table.get("descripcion");
  if (description == nullptr || !description->is_string()) {
    read.fail("le falta descripcion, el texto que dice qué encuentra la regla.");
  } else {
    rule.description = description->as_string()->get();
    if (trimmed(rule.description).empty())
      read.fail("su descripcion está vacía: escriba qué encuentra la regla.");
  }

  const toml::node* statements = table.get("sentencias");
  const toml::array* list = statements ? statements->as_array() : nullptr;
  if (list == nullptr || list->empty()) {
    read.fail("le falta sentencias, la lista de sus sentencias SQL entre corchetes.");
    return read;
  }
  for (const toml::node& statement : *list) {
    if (!statement.is_string()) {
      read.fail("cada sentencia debe ser un texto entre comillas.");
      return read;
    }
    rule.statements.push_back(statement.as_string()->get());
  }
  for (std::size_t i = 0; i < rule.statements.size() && read.error.empty(); ++i)
    if (std::string refusal = statementRefusal(rule.statements[i], i, rule.number);
        !refusal.empty())
      read.fail("sentencia " + std::to_string(i + 1) + ": " + refusal);
  return read;
}

}  // namespace

bool OfficeRulesFile::correct() const {
  return std::all_of(checks.begin(), checks.end(),
                     [](const OfficeRuleCheck& c) { return c.error.empty(); });
}

std::string statementRefusal(std::string_view statement, std::size_t index, int number) {
  const std::string target = resultTableName(number);
  const std::string accepted = acceptedForms(target);
  dialect::Statement st;
  try {
    st = dialect::parse(statement);
  } catch (const base::Error& e) {
    return e.description() + " Recuerde que " + accepted + ".";
  }
  const bool first = index == 0;
  const bool rightKind =
      first ? st.kind == dialect::Statement::Kind::Select && st.select->into &&
                  !st.select->into->connect
            : st.kind == dialect::Statement::Kind::Insert && st.select && !st.select->into;
  if (!rightKind) return "la sentencia " + whatItDoes(st) + "; " + accepted + ".";
  const std::string& written = first ? st.select->into->table : st.table;
  if (first && st.select->into->inFile)
    return "la sentencia escribe en otra base de datos (IN '" + *st.select->into->inFile +
           "'); una regla solo escribe en su tabla " + target + " de la base de trabajo.";
  if (!sameName(written, target))
    return "la sentencia escribe en la tabla " + written + ", y la regla " +
           std::to_string(number) + " solo puede escribir en " + target + ".";

  // What the engine will run, asked of the translation as well: a form the parser let through
  // must still be a new table or rows added to it, in the working database itself.
  engine::Translation t;
  try {
    t = engine::translate(statement);
  } catch (const base::Error& e) {
    return e.description();
  }
  const auto kind =
      first ? engine::Translation::Kind::SelectInto : engine::Translation::Kind::Command;
  if (t.kind != kind || t.inFile || !sameName(t.target, target))
    return "la sentencia no se admite; " + accepted + ".";
  return {};
}

OfficeRulesFile parseOfficeRules(std::string_view text, const std::filesystem::path& file) {
  toml::table document;
  try {
    document = toml::parse(text, platform::utf8(file));
  } catch (const toml::parse_error& e) {
    refuseFile(file, "no es TOML válido en la línea " + std::to_string(e.source().begin.line) +
                         ", columna " + std::to_string(e.source().begin.column) + " (" +
                         std::string(e.description()) + "). Corríjalo y vuelva a intentarlo.");
  }

  OfficeRulesFile result;
  result.rules.file = file;
  for (auto&& [key, node] : document) {
    if (key == "limite_segundos") {
      const std::int64_t seconds = node.is_integer() ? node.as_integer()->get() : 0;
      if (seconds < 1 || seconds > kLongestLimit)
        refuseFile(file, "limite_segundos, en la línea " + std::to_string(lineOf(node)) +
                             ", debe ser un número entero de segundos de 1 a " +
                             std::to_string(kLongestLimit) + ".");
      result.rules.statementLimit = std::chrono::seconds(seconds);
    } else if (key == "regla") {
      if (!node.is_array_of_tables())
        refuseFile(file, "regla, en la línea " + std::to_string(lineOf(node)) +
                             ", debe escribirse como [[regla]], una tabla por regla.");
    } else {
      refuseFile(file, "la clave '" + std::string(key.str()) + "' de la línea " +
                           std::to_string(static_cast<int>(key.source().begin.line)) +
                           " no es de un archivo de reglas adicionales (se esperan "
                           "limite_segundos y [[regla]]).");
    }
  }

  std::map<int, int> lineOfNumber;
  if (const toml::array* rules = document["regla"].as_array()) {
    for (const toml::node& node : *rules) {
      ReadRule read = readRule(*node.as_table(), lineOf(node));
      if (read.error.empty()) {
        const auto [seen, isNew] = lineOfNumber.try_emplace(read.rule.number, read.rule.line);
        if (!isNew)
          read.fail("el número " + std::to_string(read.rule.number) +
                    " se repite: ya lo tiene la regla de la línea " + std::to_string(seen->second) +
                    ".");
      }
      result.checks.push_back({std::move(read.label), std::move(read.error)});
      result.rules.rules.push_back(std::move(read.rule));
    }
  }
  return result;
}

OfficeRulesFile readOfficeRules(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  if (!in || !(text << in.rdbuf()))
    throw base::Error(base::kErrFile, "No se puede leer el archivo de reglas adicionales '" +
                                          platform::utf8(file) +
                                          "'. Compruebe que exista y que pueda leerse.");
  return parseOfficeRules(text.str(), file);
}

void compileOfficeRules(OfficeRulesFile& file, engine::Connection& checkDatabase) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < file.rules.rules.size(); ++i)
    if (file.checks[i].error.empty()) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return file.rules.rules[a].number < file.rules.rules[b].number;
  });
  checkDatabase.setStatementTimeLimit(file.rules.statementLimit);
  for (const std::size_t i : order) {
    const OfficeRule& rule = file.rules.rules[i];
    try {
      checkDatabase.execute("Drop Table " + resultTableName(rule.number));
    } catch (const base::Error&) {
      // Not there yet: the usual case.
    }
    for (std::size_t s = 0; s < rule.statements.size(); ++s) {
      try {
        checkDatabase.execute(rule.statements[s]);
      } catch (const base::Error& e) {
        file.checks[i].error = "sentencia " + std::to_string(s + 1) + ": " + e.description();
        break;
      }
    }
  }
  checkDatabase.setStatementTimeLimit({});
}

void createWorkingTables(engine::Connection& cnn) {
  for (const schema::Table* table : schema::workingTables())
    cnn.execute(schema::createTableStatement(*table));
}

OfficeRules acceptedRules(const OfficeRulesFile& file) {
  if (!file.correct()) {
    std::string errors;
    for (const OfficeRuleCheck& check : file.checks)
      if (!check.error.empty()) errors += "\n" + check.rule + ": " + check.error;
    refuseFile(file.rules.file,
               "corrija estas reglas, o quite el archivo, y vuelva a validar." + errors);
  }
  OfficeRules rules = file.rules;
  std::stable_sort(rules.rules.begin(), rules.rules.end(),
                   [](const OfficeRule& a, const OfficeRule& b) { return a.number < b.number; });
  return rules;
}

std::vector<PlannedRule> planOfficeRules(const OfficeRules& rules) {
  std::vector<PlannedRule> plan;
  for (const OfficeRule& rule : rules.rules) {
    PlannedRule planned{rule.number, resultTableName(rule.number), rule.description, {}};
    planned.statements = rule.statements;
    planned.statementLimit = rules.statementLimit;
    plan.push_back(std::move(planned));
  }
  return plan;
}

}  // namespace kolt::rules
