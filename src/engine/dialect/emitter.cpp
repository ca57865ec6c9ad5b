#include "engine/dialect/emitter.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "base/date_text.h"
#include "base/error.h"
#include "base/quoting.h"
#include "engine/dialect/function_table.h"

namespace kolt::engine::dialect {
namespace {

std::string upper(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

std::string quoteText(std::string_view text) {
  return "'" + base::doubledQuotes(text) + "'";
}

const std::string kCollate = std::string(" COLLATE ") + kCollation;

class Emitter {
 public:
  std::string select(const Select& s) {
    std::string out = "SELECT ";
    if (s.distinct) out += "DISTINCT ";
    int unnamed = 0;
    for (std::size_t i = 0; i < s.items.size(); ++i) {
      const SelectItem& item = s.items[i];
      if (i) out += ", ";
      out += expr(*item.expr);
      if (!item.alias.empty()) {
        out += " AS " + quoteName(item.alias);
      } else if (item.expr->kind == Expr::Kind::Column) {
        // A column is named as the statement writes it ("Certif" stays "Certif" though the table
        // says certif): the name becomes a heading in the unit's workbook.
        out += " AS " + quoteName(item.expr->text);
      } else if (item.expr->kind != Expr::Kind::Column && item.expr->kind != Expr::Kind::Star) {
        out += " AS " + quoteName("Expr" + std::to_string(1000 + unnamed++));
      }
    }
    if (s.from) out += " FROM " + table(*s.from);
    if (s.where) out += " WHERE " + expr(*s.where);
    if (!s.groupBy.empty()) {
      out += " GROUP BY ";
      for (std::size_t i = 0; i < s.groupBy.size(); ++i)
        out += (i ? ", " : "") + expr(*s.groupBy[i]) + kCollate;
    }
    if (s.having) out += " HAVING " + expr(*s.having);
    if (!s.orderBy.empty()) {
      out += " ORDER BY ";
      for (std::size_t i = 0; i < s.orderBy.size(); ++i)
        out += (i ? ", " : "") + expr(*s.orderBy[i].expr) + kCollate +
               (s.orderBy[i].descending ? " DESC" : "");
    }
    return out;
  }

  std::string table(const TableRef& t) {
    switch (t.kind) {
      case TableRef::Kind::Table:
        return quoteName(t.name) + (t.alias.empty() ? "" : " AS " + quoteName(t.alias));
      case TableRef::Kind::Subquery:
        return "(" + select(*t.subquery) + ")" +
               (t.alias.empty() ? "" : " AS " + quoteName(t.alias));
      case TableRef::Kind::Join: {
        // A join nested on the left reads the same without its parentheses; one nested on the
        // right keeps them.
        std::string right = table(*t.right);
        if (t.right->kind == TableRef::Kind::Join) right = "(" + right + ")";
        std::string out = table(*t.left) + " ";
        if (t.joinType == "CROSS") return out + "JOIN " + right;
        out += (t.joinType == "INNER" ? "INNER" : t.joinType + " OUTER") + " JOIN " + right;
        return out + " ON " + expr(*t.on);
      }
    }
    return {};
  }

  std::string expr(const Expr& e) {
    switch (e.kind) {
      case Expr::Kind::String:
        return quoteText(e.text);
      case Expr::Kind::Number:
        return e.text;
      case Expr::Kind::Date:
        return quoteText(e.text);
      case Expr::Kind::Null:
        return "NULL";
      case Expr::Kind::Column:
        return (e.qualifier.empty() ? "" : quoteName(e.qualifier) + ".") + quoteName(e.text);
      case Expr::Kind::Star:
        return e.qualifier.empty() ? "*" : quoteName(e.qualifier) + ".*";
      case Expr::Kind::Function:
        return function(e);
      case Expr::Kind::Unary:
        return "(" + (e.text == "NOT" ? std::string("NOT ") : e.text) + expr(*e.args[0]) + ")";
      case Expr::Kind::Binary:
        return binary(e);
      case Expr::Kind::IsNull:
        return "(" + expr(*e.args[0]) + (e.negated ? " IS NOT NULL)" : " IS NULL)");
      case Expr::Kind::InList: {
        std::string out = "(" + expr(*e.args[0]) + kCollate + (e.negated ? " NOT IN (" : " IN (");
        for (std::size_t i = 1; i < e.args.size(); ++i)
          out += (i > 1 ? ", " : "") + expr(*e.args[i]);
        return out + "))";
      }
      case Expr::Kind::InSelect:
        return "(" + expr(*e.args[0]) + kCollate + (e.negated ? " NOT IN (" : " IN (") +
               select(*e.subquery) + "))";
      case Expr::Kind::Between:
        return "(" + expr(*e.args[0]) + kCollate + (e.negated ? " NOT BETWEEN " : " BETWEEN ") +
               expr(*e.args[1]) + " AND " + expr(*e.args[2]) + ")";
      case Expr::Kind::Like:
        return "(" + expr(*e.args[0]) + (e.negated ? " NOT LIKE " : " LIKE ") +
               likePattern(*e.args[1]) + ")";
      case Expr::Kind::Exists:
        return "(EXISTS (" + select(*e.subquery) + "))";
      case Expr::Kind::Subquery:
        return "(" + select(*e.subquery) + ")";
    }
    return {};
  }

 private:
  std::string binary(const Expr& e) {
    if (e.text == "OR") return orChain(e);
    const std::string l = expr(*e.args[0]), r = expr(*e.args[1]);
    const std::string& op = e.text;
    if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=")
      return "(" + l + " " + op + " " + r + kCollate + ")";
    if (op == "AND") return "(" + l + " AND " + r + ")";
    if (op == "&") return "(coalesce(" + l + ", '') || coalesce(" + r + ", ''))";
    if (op == "MOD") return "(" + l + " % " + r + ")";
    if (op == "\\") return "(CAST(" + l + " AS INTEGER) / CAST(" + r + " AS INTEGER))";
    if (op == "^")
      throw base::Error(base::kErrSyntax,
                        "El operador ^ no está disponible en esta versión del programa.");
    return "(" + l + " " + op + " " + r + ")";
  }

  // The terms of a chain a OR b OR c, left to right.
  static void orTerms(const Expr& e, std::vector<const Expr*>& terms) {
    if (e.kind == Expr::Kind::Binary && e.text == "OR") {
      orTerms(*e.args[0], terms);
      orTerms(*e.args[1], terms);
    } else {
      terms.push_back(&e);
    }
  }

  // The left side, as emitted, of a term f(x) = literal; empty for any other term.
  std::string computedEqualityLeft(const Expr& term) {
    if (term.kind != Expr::Kind::Binary || term.text != "=" ||
        term.args[0]->kind != Expr::Kind::Function ||
        (term.args[1]->kind != Expr::Kind::String && term.args[1]->kind != Expr::Kind::Number))
      return {};
    return expr(*term.args[0]);
  }

  // a OR b OR c as one flat chain. The engine would compute f(x) again for every term of
  // f(x) = 'a' OR f(x) = 'b' OR ...; neighbouring terms of that form become one
  // f(x) IN ('a', 'b', ...), which computes it once. Only neighbours are joined, so what is
  // evaluated, and in which order, stays as written.
  std::string orChain(const Expr& e) {
    std::vector<const Expr*> terms;
    orTerms(e, terms);
    std::string chain;
    std::string runLeft;
    std::vector<const Expr*> run;
    auto append = [&](const std::string& term) { chain += (chain.empty() ? "(" : " OR ") + term; };
    auto closeRun = [&] {
      if (run.size() == 1) append(expr(*run[0]));
      if (run.size() > 1) {
        std::string in = "(" + runLeft + kCollate + " IN (";
        for (std::size_t i = 0; i < run.size(); ++i) in += (i ? ", " : "") + expr(*run[i]->args[1]);
        append(in + "))");
      }
      run.clear();
    };
    for (const Expr* term : terms) {
      std::string left = computedEqualityLeft(*term);
      if (left.empty() || left != runLeft) closeRun();
      runLeft = std::move(left);
      if (runLeft.empty())
        append(expr(*term));
      else
        run.push_back(term);
    }
    closeRun();
    return chain + ")";
  }

  std::string function(const Expr& e) {
    const AccessFunction* f = findAccessFunction(e.text);
    if (!f)
      throw base::Error(base::kErrSyntax, "Función '" + e.text + "' no definida en la expresión.");
    const int argc = static_cast<int>(e.args.size());
    if (argc < f->minArgs || argc > f->maxArgs) wrongArgumentCount(*f, argc);
    if (f->name == "IIf")
      return "(CASE WHEN " + expr(*e.args[0]) + " THEN " + expr(*e.args[1]) + " ELSE " +
             expr(*e.args[2]) + " END)";
    if (argc == 1 && e.args[0]->kind == Expr::Kind::Star && f->name != "Count")
      throw base::Error(base::kErrSyntax,
                        "La función '" + std::string(f->name) +
                            "' no admite * como argumento: solo Count(*) cuenta filas.");
    std::string out = std::string(f->engine) + "(";
    for (int i = 0; i < argc; ++i)
      out += (i ? ", " : "") + expr(*e.args[static_cast<std::size_t>(i)]);
    return out + ")";
  }

  // Says what the function takes, so that the statement can be put right from the message alone:
  // "... la función 'Mid': admite 2 o 3 argumentos, no 1."
  [[noreturn]] static void wrongArgumentCount(const AccessFunction& f, int argc) {
    std::string takes = std::to_string(f.maxArgs) + (f.maxArgs == 1 ? " argumento" : " argumentos");
    if (f.minArgs + 1 == f.maxArgs) takes = std::to_string(f.minArgs) + " o " + takes;
    if (f.minArgs + 1 < f.maxArgs) takes = "de " + std::to_string(f.minArgs) + " a " + takes;
    throw base::Error(base::kErrSyntax,
                      "Número incorrecto de argumentos en la llamada a la función '" +
                          std::string(f.name) + "': admite " + takes + ", no " +
                          std::to_string(argc) + ".");
  }

  // The Access engine's wildcards are * and ?; SQLite's are % and _.
  std::string likePattern(const Expr& pattern) {
    if (pattern.kind != Expr::Kind::String) return expr(pattern);
    std::string p;
    for (char c : pattern.text) p += c == '*' ? '%' : c == '?' ? '_' : c;
    return quoteText(p);
  }
};

// Engine declared type of a column type written in a CREATE TABLE.
std::string columnType(std::string_view written) {
  const std::string base = upper(written.substr(0, written.find('(')));
  auto is = [&](std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), base) != names.end();
  };
  if (is({"CHAR", "VARCHAR", "NCHAR", "NVARCHAR", "TEXT"})) return std::string(written);
  if (is({"STRING", "MEMO", "LONGTEXT", "NOTE", "NTEXT", "GUID"})) return "TEXT";
  if (is({"BYTE", "SHORT", "SMALLINT", "INT", "INTEGER", "LONG", "COUNTER", "AUTOINCREMENT",
          "TINYINT"}))
    return "INTEGER";
  if (is({"SINGLE", "DOUBLE", "FLOAT", "REAL", "NUMBER"})) return "REAL";
  if (is({"DATETIME", "DATE", "TIME", "TIMESTAMP"})) return std::string(base::kDateType);
  if (is({"YESNO", "BIT", "LOGICAL", "BOOLEAN"})) return std::string(base::kBooleanType);
  if (is({"CURRENCY", "MONEY", "DECIMAL", "NUMERIC"})) return std::string(written);
  if (is({"BINARY", "VARBINARY", "LONGBINARY", "OLEOBJECT", "IMAGE", "GENERAL"})) return "BLOB";
  throw base::Error(base::kErrSyntax,
                    "Tipo de columna desconocido: '" + std::string(written) + "'.");
}

}  // namespace

std::string quoteName(std::string_view name) {
  return '"' + base::doubledQuotes(name, '"') + '"';
}

bool isExcelConnect(std::string_view connect) {
  std::string c = upper(connect);
  while (!c.empty() && (c.back() == ';' || c.back() == ' ')) c.pop_back();
  return c == "EXCEL 8.0";
}

std::string emitSelect(const Select& select) {
  return Emitter().select(select);
}

std::string emitCommand(const Statement& st) {
  Emitter emitter;
  switch (st.kind) {
    case Statement::Kind::Insert: {
      std::string out = "INSERT INTO " + quoteName(st.table);
      if (!st.columns.empty()) {
        out += " (";
        for (std::size_t i = 0; i < st.columns.size(); ++i)
          out += (i ? ", " : "") + quoteName(st.columns[i]);
        out += ")";
      }
      if (st.select) return out + " " + emitter.select(*st.select);
      out += " VALUES ";
      for (std::size_t r = 0; r < st.values.size(); ++r) {
        out += r ? ", (" : "(";
        for (std::size_t i = 0; i < st.values[r].size(); ++i)
          out += (i ? ", " : "") + emitter.expr(*st.values[r][i]);
        out += ")";
      }
      return out;
    }
    case Statement::Kind::CreateTable: {
      std::string out = "CREATE TABLE " + quoteName(st.table) + " (";
      for (std::size_t i = 0; i < st.columnDefs.size(); ++i) {
        const ColumnDef& c = st.columnDefs[i];
        out += (i ? ", " : "") + quoteName(c.name) + " " + columnType(c.type) +
               (c.notNull ? " NOT NULL" : "");
      }
      return out + ")";
    }
    case Statement::Kind::DropTable:
      return "DROP TABLE " + quoteName(st.table);
    case Statement::Kind::Select:
      break;
  }
  return emitter.select(*st.select);
}

}  // namespace kolt::engine::dialect
