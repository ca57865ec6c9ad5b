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

// The first control character of a description, named for the refusal; empty when it has none.
// A NUL would cut the description short in the engine, and a line break or a tab would split
// the line of the log that carries it.
std::string controlCharacterIn(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0) return "un carácter nulo (\\u0000)";
    if (byte == '\n' || byte == '\r') return "un salto de línea";
    if (byte == '\t') return "un tabulador";
    if (byte < 0x20 || byte == 0x7F) {
      static const char* const kHex = "0123456789ABCDEF";
      return std::string("el carácter de control \\u00") + kHex[byte >> 4] + kHex[byte & 0xF];
    }
  }
  return {};
}

// Characters, not bytes, as the user counts them in the file.
std::size_t charactersIn(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// The tables a statement reads, as written, wherever they are: its FROM, its joins and every
// subquery of its expressions.
void collectTables(const dialect::Select& select, std::vector<std::string>& tables);

void collectTables(const dialect::Expr* expr, std::vector<std::string>& tables) {
  if (expr == nullptr) return;
  for (const dialect::ExprPtr& arg : expr->args) collectTables(arg.get(), tables);
  if (expr->subquery) collectTables(*expr->subquery, tables);
}

void collectTables(const dialect::TableRef* ref, std::vector<std::string>& tables) {
  if (ref == nullptr) return;
  if (ref->kind == dialect::TableRef::Kind::Table) tables.push_back(ref->name);
  if (ref->subquery) collectTables(*ref->subquery, tables);
  collectTables(ref->left.get(), tables);
  collectTables(ref->right.get(), tables);
  collectTables(ref->on.get(), tables);
}

void collectTables(const dialect::Select& select, std::vector<std::string>& tables) {
  collectTables(select.from.get(), tables);
  for (const dialect::SelectItem& item : select.items) collectTables(item.expr.get(), tables);
  collectTables(select.where.get(), tables);
  for (const dialect::ExprPtr& group : select.groupBy) collectTables(group.get(), tables);
  collectTables(select.having.get(), tables);
  for (const dialect::OrderItem& order : select.orderBy) collectTables(order.expr.get(), tables);
}

// Whether rule `number` may read `table`: a table of the unit's working database, its own result
// table or that of an office rule run before it. Anything else (the engine's own catalogue
// sqlite_master, its pragma_... table functions, the source's own additions) is no business of a
// rule, and its rows would be exported as findings.
bool mayRead(std::string_view table, int number) {
  if (const schema::Table* known = schema::findTable(table))
    return known->role != schema::TableRole::SourceAddition;
  constexpr std::string_view kResult = "Validacion";
  if (table.size() <= kResult.size() || table.size() > kResult.size() + 5 ||
      !sameName(table.substr(0, kResult.size()), kResult))
    return false;
  const std::string_view digits = table.substr(kResult.size());
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
      digits.front() == '0')
    return false;
  const int read = std::stoi(std::string(digits));
  return read == number || (read > kLastRule && read < number);
}

std::string readableTables(int number) {
  std::string names;
  for (const schema::Table* table : schema::workingTables())
    names += (names.empty() ? "" : ", ") + std::string(table->name);
  return names + ", su propia tabla " + resultTableName(number) +
         " y las de las reglas adicionales de número menor";
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
    else if (const std::string control = controlCharacterIn(rule.description); !control.empty())
      read.fail("su descripcion tiene " + control +
                ": escríbala en una sola línea, solo con letras, números, blancos y signos (va "
                "en una celda de los libros y en una línea del registro).");
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

// An engine failure of a rule's statement, said so that the office knows what to change: a
// missing table or column with where the rule may look for it, and any failure the engine does not
// name with the engine's own words, which name the part of the statement it refused.
std::string engineRefusal(const base::Error& e, int number) {
  const std::string& words = e.detail();
  if (words.find("Expression tree is too large") != std::string::npos)
    return "la sentencia anida más operaciones de las que el motor admite. Escriba In (...) en "
           "lugar de muchos Or, o reparta la condición en varias sentencias INSERT INTO " +
           resultTableName(number) + " SELECT ...";
  if (e.number() == base::kErrNoSuchColumn)
    return e.description() +
           " Corrija su nombre, o quítela; si es de otra tabla, esa tabla debe estar en el FROM de "
           "la sentencia.";
  if (e.number() == base::kErrNoSuchTable)
    return e.description() + " Corrija su nombre: una regla adicional lee " +
           readableTables(number) + ".";
  if (words.empty() || e.description().find(words) != std::string::npos) return e.description();
  return e.description() + " El motor dice: \"" + words +
         "\". Escriba de otra forma la parte de la sentencia que nombra, o quítela.";
}

}  // namespace

bool OfficeRulesFile::correct() const {
  return std::all_of(checks.begin(), checks.end(),
                     [](const OfficeRuleCheck& c) { return c.error.empty(); });
}

std::string statementRefusal(std::string_view statement, std::size_t index, int number) {
  const std::string target = resultTableName(number);
  const std::string accepted = acceptedForms(target);
  // Measured before the statement is parsed: parsing it is what a statement past these would
  // break.
  if (const std::size_t length = charactersIn(statement); length > kLongestStatement)
    return "la sentencia tiene " + std::to_string(length) + " caracteres y una sentencia admite " +
           std::to_string(kLongestStatement) +
           ", como en Access: reparta la regla en una primera sentencia SELECT ... INTO " + target +
           " y sentencias INSERT INTO " + target + " SELECT ... que añadan las demás filas.";
  if (const std::size_t depth = nestingOf(statement); depth > kDeepestNesting)
    return "la sentencia anida " + std::to_string(depth) +
           " niveles (cuenta uno cada paréntesis y cada operación encadenada dentro de él, como "
           "And, Or, = o +) y una sentencia admite " +
           std::to_string(kDeepestNesting) +
           ": escriba In (...) en lugar de muchos Or, quite los paréntesis que sobran, o reparta "
           "la condición en varias sentencias INSERT INTO " +
           target + " SELECT ...";
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
  std::vector<std::string> read;
  collectTables(*st.select, read);
  for (const std::string& table : read)
    if (!mayRead(table, number))
      return "la sentencia lee la tabla " + table +
             ", que no es de la unidad: una regla adicional solo lee " + readableTables(number) +
             ".";

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

std::size_t nestingOf(std::string_view statement) {
  // One entry per parenthesis open, the statement itself first: the operators written directly
  // inside it, and the deepest nesting of the parentheses already closed inside it.
  struct Level {
    std::size_t operators = 0, deepestInside = 0;
  };
  std::vector<Level> open(1);
  const auto closeLevel = [&] {
    const Level done = open.back();
    open.pop_back();
    open.back().deepestInside =
        std::max(open.back().deepestInside, 1 + done.operators + done.deepestInside);
  };
  static constexpr std::string_view kWordOperators[] = {
      "and", "or", "not", "xor", "eqv", "imp", "mod", "like", "between", "in", "is", "exists"};
  const auto wordChar = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           (static_cast<unsigned char>(c) & 0x80) != 0;
  };
  for (std::size_t i = 0; i < statement.size(); ++i) {
    const char c = statement[i];
    if (c == '\'' || c == '"' || c == '#' || c == '[') {
      // A text, a date or a bracketed name: nothing inside nests. A doubled quote only ends one
      // text and begins the next, which counts the same.
      const std::size_t end = statement.find(c == '[' ? ']' : c, i + 1);
      if (end == std::string_view::npos) break;
      i = end;
    } else if (c == '(') {
      open.emplace_back();
    } else if (c == ')') {
      if (open.size() > 1) closeLevel();
    } else if (std::string_view("+-*/\\^&=<>").find(c) != std::string_view::npos) {
      // <=, >= and <> are one operator.
      const bool comparison = c == '<' || c == '>' || c == '=';
      const bool follows =
          i > 0 && std::string_view("<>=").find(statement[i - 1]) != std::string_view::npos;
      if (!(comparison && follows)) ++open.back().operators;
    } else if (wordChar(c)) {
      std::size_t end = i;
      while (end < statement.size() && wordChar(statement[end])) ++end;
      const std::string_view word = statement.substr(i, end - i);
      if (std::any_of(std::begin(kWordOperators), std::end(kWordOperators),
                      [&](std::string_view op) { return sameName(word, op); }))
        ++open.back().operators;
      i = end - 1;
    }
  }
  while (open.size() > 1) closeLevel();
  return open.front().operators + open.front().deepestInside;
}

OfficeRulesFile parseOfficeRules(std::string_view text, const std::filesystem::path& file) {
  // Most likely a copy cut short, or the wrong file: a run without the office's rules must not
  // pass for one with them.
  if (trimmed(text).empty())
    refuseFile(file,
               "está vacío. Escriba en él las reglas adicionales ([[regla]]), o quítelo si "
               "no las usa, y vuelva a intentarlo.");
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
  std::error_code ec;
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  // An empty file copies no character, which the stream counts as a failure: it is told apart
  // from one that cannot be read by what the stream it was read from says.
  const bool read = in && !std::filesystem::is_directory(file, ec) &&
                    (text << in.rdbuf() || (!in.bad() && text.str().empty()));
  if (!read)
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
    std::string& error = file.checks[i].error;
    for (std::size_t s = 0; s < rule.statements.size() && error.empty(); ++s) {
      try {
        checkDatabase.execute(rule.statements[s]);
      } catch (const base::Error& e) {
        error = "sentencia " + std::to_string(s + 1) + ": " + engineRefusal(e, rule.number);
      }
    }
    if (!error.empty()) continue;
    // The table is exported whole to its sheet in every unit where it has rows.
    const std::string table = resultTableName(rule.number);
    try {
      const std::size_t columns =
          checkDatabase.openRecordset("SELECT * FROM " + table).columns().size();
      if (columns > kMostResultColumns)
        error = "su tabla " + table + " tendría " + std::to_string(columns) +
                " columnas y su hoja en el libro de la unidad admite " +
                std::to_string(kMostResultColumns) +
                ": escriba en el SELECT solo las columnas que hacen falta, en lugar de *.";
    } catch (const base::Error& e) {
      error = "su tabla " + table + " no se pudo leer: " + engineRefusal(e, rule.number);
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
