#include "engine/dialect/emitter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "base/date_text.h"
#include "base/error.h"
#include "base/names.h"
#include "base/quoting.h"
#include "engine/dialect/function_table.h"
#include "engine/dialect/functions.h"
#include "schema/tables.h"

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

// What follows kCollate in an equality of a byte group (emitter.h).
constexpr std::pair<unsigned, std::string_view> kByteMarks[] = {
    {kKeysAsBytes, " /*bytes:keys*/"}, {kCodesAsBytes, " /*bytes:codes*/"}};
std::string byteMark(unsigned group) {
  for (const auto& [g, mark] : kByteMarks)
    if (g == group) return std::string(mark);
  return {};
}

class Emitter {
 public:
  std::string select(const Select& s) {
    if (s.top && !s.orderBy.empty()) return topWithTies(s);
    const Scope scope(*this, s);
    std::string out = "SELECT ";
    if (s.distinct && grouped(s)) out += "DISTINCT ";
    out += items(s, nullptr);
    out += tail(s);
    if (!s.orderBy.empty()) out += " ORDER BY " + orderKeys(s);
    if (s.top) out += " LIMIT " + std::to_string(*s.top);
    return out;
  }

  std::string table(const TableRef& t) {
    switch (t.kind) {
      case TableRef::Kind::Table:
        if (namesOtherDatabase(t))
          refuse("una tabla de otra base de datos ('" +
                 (t.inFile             ? *t.inFile
                  : t.database.empty() ? t.name
                                       : t.database) +
                 "'); una regla lee solo las tablas de la unidad");
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
        return out + " ON " + condition(*t.on);
      }
    }
    return {};
  }

  // An expression whose value is used: a truth comes out as Access gives it, -1 or 0 (or NULL).
  std::string expr(const Expr& e) {
    if (isTruth(e)) {
      // kolt_like gives -1 itself.
      if (e.kind == Expr::Kind::Like && !e.negated) return condition(e);
      return "(-" + condition(e) + ")";
    }
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
        // A blank after the sign: - before True (-1) written together would be "--", which
        // SQLite reads as the start of a comment running to the end of the statement.
        return "(" + e.text + " " + expr(*e.args[0]) + ")";
      case Expr::Kind::Binary:
        return arithmetic(e);
      case Expr::Kind::Subquery:
        return "(" + select(*e.subquery) + ")";
      default:
        break;
    }
    return {};
  }

  // An expression that decides (WHERE, ON, HAVING, the test of IIf, an operand of And, Or, Not,
  // Xor, Eqv, Imp), as the engine's own truth: 1, 0 or NULL. Any other value decides as the
  // engine reads it, true when it is a number other than 0.
  std::string condition(const Expr& e) {
    if (!isTruth(e)) return expr(e);
    switch (e.kind) {
      case Expr::Kind::Unary:
        return "(NOT " + condition(*e.args[0]) + ")";
      case Expr::Kind::Binary:
        return logical(e);
      case Expr::Kind::IsNull:
        return "(" + expr(*e.args[0]) + (e.negated ? " IS NOT NULL)" : " IS NULL)");
      case Expr::Kind::InList: {
        // Each item is compared as = compares it; a list whose items need nothing of that is
        // written as the engine's own IN.
        std::string out = "(" + expr(*e.args[0]) + kCollate + (e.negated ? " NOT IN (" : " IN (");
        std::string terms;
        bool asWritten = true;
        for (std::size_t i = 1; i < e.args.size(); ++i) {
          const Compared item = comparison(*e.args[0], "=", *e.args[i]);
          asWritten = asWritten && item.asWritten;
          terms += (i > 1 ? " OR " : "") + item.sql;
          out += (i > 1 ? ", " : "") + expr(*e.args[i]);
        }
        if (!asWritten) return std::string(e.negated ? "(NOT (" : "((") + terms + "))";
        return out + "))";
      }
      case Expr::Kind::InSelect:
        return "(" + expr(*e.args[0]) + kCollate + (e.negated ? " NOT IN (" : " IN (") +
               select(*e.subquery) + "))";
      case Expr::Kind::Between: {
        const Compared low = comparison(*e.args[0], ">=", *e.args[1]),
                       high = comparison(*e.args[0], "<=", *e.args[2]);
        if (!low.asWritten || !high.asWritten)
          return std::string(e.negated ? "(NOT (" : "((") + low.sql + " AND " + high.sql + "))";
        return "(" + expr(*e.args[0]) + kCollate + (e.negated ? " NOT BETWEEN " : " BETWEEN ") +
               expr(*e.args[1]) + " AND " + expr(*e.args[2]) + ")";
      }
      case Expr::Kind::Like:
        checkLikePattern(*e.args[1]);
        return std::string(e.negated ? "(NOT " : "(") + kLikeFunction + "(" + expr(*e.args[0]) +
               ", " + expr(*e.args[1]) + "))";
      case Expr::Kind::Exists:
        return "(EXISTS (" + select(*e.subquery) + "))";
      default:
        break;
    }
    return {};
  }

 private:
  // The select list, each item named as the Access engine names it; or, when `names` is given,
  // named kolt_c1, kolt_c2, ... with those names (empty for a *) in `names`.
  std::string items(const Select& s, std::vector<std::string>* names) {
    std::string out;
    int unnamed = 0;
    for (std::size_t i = 0; i < s.items.size(); ++i) {
      const SelectItem& item = s.items[i];
      if (i) out += ", ";
      out += expr(*item.expr);
      if (s.distinct && item.expr->kind == Expr::Kind::Star)
        refuse("DISTINCT con *; nombre las columnas");
      if (s.distinct && grouped(s)) out += kCollate;
      std::string generated;
      std::string_view name;
      if (!item.alias.empty()) {
        name = item.alias;
      } else if (item.expr->kind == Expr::Kind::Column) {
        // A column is named as the statement writes it ("Certif" stays "Certif" though the table
        // says certif): the name becomes a heading in the unit's workbook.
        name = item.expr->text;
      } else if (item.expr->kind != Expr::Kind::Star) {
        generated = "Expr" + std::to_string(1000 + unnamed++);
        name = generated;
      }
      if (names) {
        // Named by place, for the select around it: two items may share a name (e.folio, a.folio).
        out += " AS " + quoteName("kolt_c" + std::to_string(i + 1));
        names->emplace_back(name);
      } else if (!name.empty()) {
        out += " AS " + quoteName(name);
      }
    }
    return out;
  }

  // DISTINCT must compare texts ignoring letter case, as every comparison does. A select that
  // neither groups nor aggregates says so by grouping on its whole list, with the collation, which
  // keeps each column's declared type for a SELECT ... INTO; one that groups already makes its
  // list DISTINCT with the collation on each item.
  static bool grouped(const Select& s) {
    if (!s.groupBy.empty() || s.having) return true;
    for (const SelectItem& item : s.items)
      if (aggregates(*item.expr)) return true;
    return false;
  }
  static bool aggregates(const Expr& e) {
    if (e.kind == Expr::Kind::Function)
      for (std::string_view name : {"Count", "Sum", "Min", "Max", "Avg"})
        if (findAccessFunction(e.text) == findAccessFunction(name)) return true;
    for (const auto& arg : e.args)
      if (aggregates(*arg)) return true;
    return false;
  }

  // FROM, WHERE, GROUP BY and HAVING.
  std::string tail(const Select& s) {
    std::string out;
    if (s.from) out += " FROM " + table(*s.from);
    if (s.where) out += " WHERE " + condition(*s.where);
    std::vector<const Expr*> keys;
    if (s.distinct && !grouped(s))
      for (const SelectItem& item : s.items) keys.push_back(item.expr.get());
    for (const ExprPtr& key : s.groupBy) keys.push_back(key.get());
    if (!keys.empty()) out += " GROUP BY " + groupKeys(keys);
    if (s.having) out += " HAVING " + condition(*s.having);
    return out;
  }

  // A constant groups nothing, and a whole number there would be read by SQLite as the place of
  // a column of the list (select distinct folio, 0 as marca: GROUP BY folio, 0), so constants are
  // left out; when nothing else is left the rows make one group, as DISTINCT on constants does.
  std::string groupKeys(const std::vector<const Expr*>& keys) {
    std::string out;
    for (const Expr* key : keys)
      if (!isConstant(*key)) out += (out.empty() ? "" : ", ") + expr(*key) + kCollate;
    return out.empty() ? "NULL" : out;
  }
  static bool isConstant(const Expr& e) {
    switch (e.kind) {
      case Expr::Kind::String:
      case Expr::Kind::Number:
      case Expr::Kind::Date:
      case Expr::Kind::Null:
        return true;
      case Expr::Kind::Unary:
        return isConstant(*e.args[0]);
      default:
        return false;
    }
  }

  std::string orderKeys(const Select& s) {
    std::string out;
    for (std::size_t i = 0; i < s.orderBy.size(); ++i)
      out += (i ? ", " : "") + expr(*s.orderBy[i].expr) + kCollate +
             (s.orderBy[i].descending ? " DESC" : "");
    return out;
  }

  // TOP n with ORDER BY gives the first n rows and every row that ties with the last of them, as
  // the Access engine does: the rows are ranked in the select itself, and the select around it
  // keeps those ranked n or better and gives back the list's own columns.
  std::string topWithTies(const Select& s) {
    if (s.distinct) refuse("TOP con DISTINCT y ORDER BY en la misma consulta");
    const Scope scope(*this, s);
    std::vector<std::string> names;
    std::string inner = "SELECT " + items(s, &names);
    std::string outer = "SELECT ";
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (names[i].empty()) refuse("TOP con ORDER BY y * en la lista; nombre las columnas");
      outer += (i ? ", " : "") + quoteName("kolt_c" + std::to_string(i + 1)) + " AS " +
               quoteName(names[i]);
    }
    inner += ", rank() OVER (ORDER BY " + orderKeys(s) + ") AS \"kolt_rank\"" + tail(s);
    return outer + " FROM (" + inner + ") WHERE \"kolt_rank\" <= " + std::to_string(*s.top) +
           " ORDER BY \"kolt_rank\"";
  }

  static bool isComparison(std::string_view op) {
    return op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=";
  }
  static bool isLogical(std::string_view op) {
    return op == "AND" || op == "OR" || op == "XOR" || op == "EQV" || op == "IMP";
  }
  // Whether an expression is a truth: a comparison, a logical operator, Is Null, In, Between,
  // Like or Exists. The Access engine's And, Or, Xor, Eqv, Imp and Not are logical even on
  // numbers (12 And 10 is True, -1; Not 5 is False, 0): it does no bitwise arithmetic in SQL.
  static bool isTruth(const Expr& e) {
    switch (e.kind) {
      case Expr::Kind::Unary:
        return e.text == "NOT";
      case Expr::Kind::Binary:
        return isComparison(e.text) || isLogical(e.text);
      case Expr::Kind::IsNull:
      case Expr::Kind::InList:
      case Expr::Kind::InSelect:
      case Expr::Kind::Between:
      case Expr::Kind::Like:
      case Expr::Kind::Exists:
        return true;
      default:
        return false;
    }
  }

  // A comparison or a logical operator, as a condition. Xor, Eqv and Imp are NULL when the
  // operands leave them undecided, as Access's are: NOT of each operand turns it into a truth
  // first, so that 12 Xor 10 compares two truths and not two numbers.
  std::string logical(const Expr& e) {
    const std::string& op = e.text;
    if (isComparison(op)) return comparison(*e.args[0], op, *e.args[1]).sql;
    if (op == "OR") return orChain(e);
    const std::string l = condition(*e.args[0]), r = condition(*e.args[1]);
    if (op == "AND") return "(" + l + " AND " + r + ")";
    if (op == "XOR") return "((NOT " + l + ") <> (NOT " + r + "))";
    if (op == "EQV") return "((NOT " + l + ") = (NOT " + r + "))";
    return "((NOT " + l + ") OR " + r + ")";  // IMP
  }

  // What a value is, as far as the statement alone tells: a column, Nz, IIf or a sum is only
  // known when the rows are read.
  enum class Kind { Text, Number, Date, Unknown };

  static Kind kindOf(const Expr& e) {
    if (isTruth(e)) return Kind::Number;
    switch (e.kind) {
      case Expr::Kind::String:
        return Kind::Text;
      case Expr::Kind::Number:
        return Kind::Number;
      case Expr::Kind::Date:
        return Kind::Date;
      case Expr::Kind::Unary:
        return kindOf(*e.args[0]) == Kind::Number ? Kind::Number : Kind::Unknown;
      case Expr::Kind::Function:
        return functionKind(e.text);
      case Expr::Kind::Column:
        return columnKind(e.text);
      case Expr::Kind::Binary: {
        if (e.text == "&") return Kind::Text;
        if (e.text != "+" && e.text != "-") return Kind::Number;  // * / \ Mod
        const Kind l = kindOf(*e.args[0]), r = kindOf(*e.args[1]);
        if (l == Kind::Number && r == Kind::Number) return Kind::Number;
        if (l == Kind::Date && r == Kind::Number) return Kind::Date;
        if (e.text == "+" && l == Kind::Number && r == Kind::Date) return Kind::Date;
        if (e.text == "-" && l == Kind::Date && r == Kind::Date) return Kind::Number;
        return Kind::Unknown;
      }
      default:
        return Kind::Unknown;
    }
  }

  // A column that the program's tables declare a date wherever they hold it (egreso), or a whole
  // number (edad, dias_esta): compared with a literal that is neither, it would match nothing,
  // silently, so its kind is taken as known. A text column may hold what a rule put there, and is
  // left to the rows.
  static Kind columnKind(std::string_view name) {
    std::optional<Kind> kind;
    for (const schema::Table& table : schema::allTables()) {
      if (const schema::Column* column = table.column(name)) {
        const Kind declared = base::isDateType(column->type)         ? Kind::Date
                              : column->type == schema::kIntegerType ? Kind::Number
                                                                     : Kind::Unknown;
        if (kind && *kind != declared) return Kind::Unknown;
        kind = declared;
      }
    }
    return kind.value_or(Kind::Unknown);
  }

  // The kind of what a function gives, as its row says; a truth is a number to a comparison.
  static Kind functionKind(std::string_view name) {
    const AccessFunction* f = findAccessFunction(name);
    if (!f) return Kind::Unknown;
    switch (f->result) {
      case ResultKind::Number:
      case ResultKind::Truth:
        return Kind::Number;
      case ResultKind::Text:
        return Kind::Text;
      case ResultKind::Date:
        return Kind::Date;
      case ResultKind::Unknown:
        break;
    }
    return Kind::Unknown;
  }

  // A literal written beside a value in a comparison: a text, a number (with its sign) or a date.
  static const Expr* literalOf(const Expr& e) {
    if (e.kind == Expr::Kind::String || e.kind == Expr::Kind::Number || e.kind == Expr::Kind::Date)
      return &e;
    if (e.kind == Expr::Kind::Unary && e.text != "NOT" && e.args[0]->kind == Expr::Kind::Number)
      return &e;
    return nullptr;
  }

  // The text of a literal that is wholly a number, blanks around it allowed, as CDbl reads it.
  static std::optional<std::string> numberIn(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    std::size_t i = 0, digits = 0;
    auto run = [&] {
      std::size_t n = 0;
      for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) ++n;
      return n;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    digits += run();
    if (i < text.size() && text[i] == '.') ++i, digits += run();
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
      ++i;
      if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
      if (run() == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    std::string number(text.front() == '+' ? text.substr(1) : text);
    if (number.front() == '.' || number.starts_with("-.")) number.insert(number.find('.'), "0");
    if (number.back() == '.') number += '0';
    return number;
  }

  struct Compared {
    std::string sql;
    bool asWritten;  // the engine compares the two as they are written
  };

  // a op b, compared as Access compares them when one side is a literal of another kind than the
  // other side. Where the statement tells what the value is (a function's result, arithmetic, the
  // discharge date, the age), the literal is turned into that kind
  // here (Year(egreso) = '2023' compares with 2023; egreso > 45000 with that day's date), or the
  // comparison is refused naming the two kinds where Access stops with its type mismatch. Where
  // only the rows tell, kolt_compare decides row by row (functions.h). A text literal that is no
  // number and no date, beside a value of unknown kind, is compared as written: that is how a
  // unit's rows are picked (clues = 'DFSSA000001'), through the index on the code. So is a text
  // that is a number beside a bare column: the column's own type converts it, as for cveedad = '3'.
  Compared comparison(const Expr& a, std::string_view op, const Expr& b) {
    const Expr* literal = literalOf(b) ? &b : literalOf(a);
    auto written = [&](const std::string& l, const std::string& r) {
      return "(" + l + " " + std::string(op) + " " + r + kCollate + ")";
    };
    if (!literal) return valuesCompared(a, op, b);
    const bool onRight = literal == &b;
    const Expr& value = onRight ? a : b;
    auto rewritten = [&](const std::string& sql) -> Compared {
      return {onRight ? written(expr(a), sql) : written(sql, expr(b)), false};
    };
    auto byRow = [&]() -> Compared {
      const std::string call =
          std::string(kCompareFunction) + "(" + expr(value) + ", " + expr(*literal) + ")";
      const std::string o(op);
      return {onRight ? "(" + call + " " + o + " 0)" : "(0 " + o + " " + call + ")", false};
    };
    const Kind valueKind = kindOf(value), literalKind = kindOf(*literal);
    if (valueKind == literalKind || literalKind == Kind::Unknown)
      return {written(expr(a), expr(b)), true};
    const std::string& text = literal->text;
    switch (valueKind) {
      case Kind::Text:
        if (literalKind == Kind::Number) return byRow();
        mismatch("un texto con la fecha #" + text +
                 "#. Convierta el texto con CDate(...) o compárelo con un texto entre comillas");
      case Kind::Number:
        if (literalKind == Kind::Date) return rewritten(serialText(text));
        if (auto number = numberIn(text)) return rewritten(*number);
        mismatch("un número con el texto '" + text +
                 "', que no es un número. Escriba el número sin comillas");
      case Kind::Date:
        if (literalKind == Kind::Number) {
          if (auto date = dateOfSerial(numberText(*literal))) return rewritten(quoteText(*date));
          mismatch("una fecha con el número " + numberText(*literal) +
                   ", que no es una fecha. Escriba la fecha entre # (#01/31/2024#)");
        }
        if (auto date = accessCDate(text)) return rewritten(quoteText(*date));
        mismatch("una fecha con el texto '" + text +
                 "', que no es una fecha. Escriba la fecha entre # (#01/31/2024#) o como "
                 "'dd/mm/aaaa'");
      case Kind::Unknown:
        if (literalKind == Kind::Number) return byRow();
        if (literalKind == Kind::Text && (numberIn(text) || accessCDate(text))) {
          if (value.kind == Expr::Kind::Column && numberIn(text))
            return {written(expr(a), expr(b)), true};
          return byRow();
        }
        return {written(expr(a), expr(b)), true};
    }
    return {written(expr(a), expr(b)), true};
  }

  // a op b where neither is a literal. Two values of kinds the statement tells, and different
  // (egreso = CStr(...), Year(egreso) = Left(folio, 4)), would be compared by the engine as a
  // date's stored text with a text written dd/mm/aaaa, or as a number with a text, and never be
  // equal; each row compares them as kolt_compare compares a value with a literal of the other
  // kind, the date (or else the number) first. Anything else is compared as written.
  Compared valuesCompared(const Expr& a, std::string_view op, const Expr& b) {
    if (op == "=")
      if (const unsigned group = byteGroupOf(a); group != 0 && group == byteGroupOf(b))
        return {"(" + expr(a) + " = " + expr(b) + kCollate + byteMark(group) + ")", true};
    const Kind ka = kindOf(a), kb = kindOf(b);
    if (ka == kb || ka == Kind::Unknown || kb == Kind::Unknown)
      return {"(" + expr(a) + " " + std::string(op) + " " + expr(b) + kCollate + ")", true};
    const bool aFirst = ka == Kind::Date || (ka == Kind::Number && kb == Kind::Text);
    const std::string call = std::string(kCompareFunction) + "(" + expr(aFirst ? a : b) + ", " +
                             expr(aFirst ? b : a) + ")";
    const std::string o(op);
    return {aFirst ? "(" + call + " " + o + " 0)" : "(0 " + o + " " + call + ")", false};
  }

  // The tables each select names in its FROM, by the name its columns are qualified with; the
  // innermost select's last. A name of a subquery or another database stands for no table.
  struct Scope {
    Scope(Emitter& emitter, const Select& s) : emitter_(emitter) {
      emitter_.scopes_.emplace_back();
      if (s.from) add(*s.from);
    }
    ~Scope() { emitter_.scopes_.pop_back(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    void add(const TableRef& t) {
      auto& tables = emitter_.scopes_.back();
      switch (t.kind) {
        case TableRef::Kind::Table:
          tables.emplace_back(t.alias.empty() ? t.name : t.alias,
                              namesOtherDatabase(t) ? std::string() : t.name);
          break;
        case TableRef::Kind::Subquery:
          tables.emplace_back(t.alias, std::string());
          break;
        case TableRef::Kind::Join:
          add(*t.left);
          add(*t.right);
          break;
      }
    }
    Emitter& emitter_;
  };

  // The byte group (emitter.h) of a column qualified by a name its select's own FROM gives a
  // table, or 0: a column of a rule's work table, or of another select, may hold any text.
  unsigned byteGroupOf(const Expr& e) const {
    if (e.kind != Expr::Kind::Column || e.qualifier.empty() || scopes_.empty()) return 0;
    const std::string* table = nullptr;
    for (const auto& [qualifier, name] : scopes_.back())
      if (base::sameName(qualifier, e.qualifier)) {
        if (table) return 0;  // named twice: the engine refuses the statement
        table = &name;
      }
    const schema::Table* known = table ? schema::findTable(*table) : nullptr;
    if (!known) return 0;
    if (known->role == schema::TableRole::Record &&
        std::ranges::any_of(schema::kDischargeKey,
                            [&](std::string_view key) { return base::sameName(key, e.text); }))
      return kKeysAsBytes;
    for (const schema::ColumnName& code : schema::kCodeColumns)
      if (base::sameName(code.table, known->name) && base::sameName(code.column, e.text))
        return kCodesAsBytes;
    return 0;
  }

  [[noreturn]] static void mismatch(const std::string& what) {
    throw base::Error(base::kErrSyntax,
                      "Los tipos de datos no coinciden en la comparación de " + what + ".");
  }

  // A number literal as written, its sign included.
  static std::string numberText(const Expr& literal) {
    if (literal.kind != Expr::Kind::Unary) return literal.text;
    return (literal.text == "-" ? "-" : "") + literal.args[0]->text;
  }

  // A date's serial number as a literal, and the date of a number's serial.
  static std::string serialText(const std::string& canonical) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", base::toSerial(*base::parseCanonical(canonical)));
    return buffer;
  }
  static std::optional<std::string> dateOfSerial(const std::string& number) {
    const auto date = base::fromSerial(std::strtod(number.c_str(), nullptr));
    if (!date || date->year < 100 || date->year > 9999) return std::nullopt;
    return base::formatCanonical(*date);
  }

  std::string arithmetic(const Expr& e) {
    const std::string l = expr(*e.args[0]), r = expr(*e.args[1]);
    const std::string& op = e.text;
    // The arithmetic operators and & follow the Access engine on NULLs, texts and dates
    // (functions.h).
    if (op == "&") return std::string(kConcatFunction) + "(" + l + ", " + r + ")";
    if (op == "+") return std::string(kAddFunction) + "(" + l + ", " + r + ")";
    if (op == "-") return std::string(kSubtractFunction) + "(" + l + ", " + r + ")";
    if (op == "*") return std::string(kMultiplyFunction) + "(" + l + ", " + r + ")";
    if (op == "/") return std::string(kDivideFunction) + "(" + l + ", " + r + ")";
    if (op == "MOD") return std::string(kModFunction) + "(" + l + ", " + r + ")";
    if (op == "\\") return std::string(kIntegerDivideFunction) + "(" + l + ", " + r + ")";
    if (op == "^") refuse("el operador ^");
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
        (term.args[1]->kind != Expr::Kind::String && term.args[1]->kind != Expr::Kind::Number) ||
        !comparison(*term.args[0], "=", *term.args[1]).asWritten)
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
      if (run.size() == 1) append(condition(*run[0]));
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
        append(condition(*term));
      else
        run.push_back(term);
    }
    closeRun();
    return chain + ")";
  }

  std::string function(const Expr& e) {
    const AccessFunction* f = findAccessFunction(e.text);
    if (!f)
      throw base::Error(base::kErrSyntax,
                        "Función no admitida: '" + e.text +
                            "'. Escriba la instrucción con las funciones que el programa admite.");
    const int argc = static_cast<int>(e.args.size());
    if (argc < f->minArgs || argc > f->maxArgs) wrongArgumentCount(*f, argc);
    // What a row can tell from the arguments written out is checked here, so that a mistaken
    // interval or pattern stops the rule before it runs rather than failing on every row.
    if (f->check) {
      std::vector<std::optional<std::string_view>> literals;
      for (const auto& arg : e.args)
        literals.push_back(arg->kind == Expr::Kind::String || arg->kind == Expr::Kind::Number
                               ? std::optional<std::string_view>(arg->text)
                               : std::nullopt);
      if (std::string refusal = f->check(literals); !refusal.empty())
        throw base::Error(base::kErrSyntax, refusal);
    }
    if (f->name == "IIf")
      return "(CASE WHEN " + condition(*e.args[0]) + " THEN " + expr(*e.args[1]) + " ELSE " +
             expr(*e.args[2]) + " END)";
    if (argc == 1 && e.args[0]->kind == Expr::Kind::Star && f->name != "Count")
      throw base::Error(base::kErrSyntax,
                        "La función '" + std::string(f->name) +
                            "' no admite * como argumento: solo Count(*) cuenta filas.");
    std::string out = std::string(f->engine) + "(";
    for (int i = 0; i < argc; ++i)
      out += (i ? ", " : "") + expr(*e.args[static_cast<std::size_t>(i)]);
    // The least and the greatest of texts are those of the order every comparison follows.
    if (f->name == "Min" || f->name == "Max") out += kCollate;
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

  // A pattern written out is checked here. % and _ are wildcards in another mode of the Access
  // engine and plain characters in this one, so a pattern holding them outside [ ] is refused
  // rather than read one way when its author meant the other.
  void checkLikePattern(const Expr& pattern) {
    if (pattern.kind != Expr::Kind::String) return;
    if (const std::string fault = likePatternFault(pattern.text); !fault.empty())
      throw base::Error(base::kErrSyntax,
                        "Patrón de Like no válido: '" + pattern.text + "'. " + fault);
    bool inList = false;
    for (char c : pattern.text) {
      if (c == '[') inList = true;
      if (c == ']') inList = false;
      if (!inList && (c == '%' || c == '_'))
        throw base::Error(base::kErrSyntax,
                          "Patrón de Like no admitido: '" + pattern.text +
                              "'. Use * para cualquier texto y ? para un carácter; para buscar " +
                              c + " escríbalo entre corchetes: [" + c + "].");
    }
  }

 public:
  [[noreturn]] static void refuse(const std::string& construct) {
    throw base::Error(
        base::kErrSyntax,
        "Construcción no admitida: " + construct +
            ". Escriba la instrucción con las construcciones que el programa admite.");
  }

 private:
  std::vector<std::vector<std::pair<std::string, std::string>>> scopes_;  // see Scope
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

bool namesOtherDatabase(const TableRef& t) {
  // A name without '=' holds no DATABASE=, which spares every ordinary table the upper case copy.
  return t.inFile || !t.database.empty() ||
         (t.name.find('=') != std::string::npos &&
          upper(t.name).find("DATABASE=") != std::string::npos);
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
      if (st.inFile)
        Emitter::refuse("INSERT INTO en otra base de datos ('" + *st.inFile +
                        "'); una regla escribe solo en las tablas de la unidad");
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

std::string bytesFor(std::string_view sql, unsigned groups) {
  if (groups == 0 || sql.find("/*bytes:") == std::string_view::npos) return std::string(sql);
  std::string out;
  out.reserve(sql.size());
  for (std::size_t i = 0; i < sql.size();) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      // A text or a name, its own quotes doubled inside, runs to the first quote not doubled.
      std::size_t end = i + 1;
      while (end < sql.size() && !(sql[end] == c && (end + 1 == sql.size() || sql[end + 1] != c)))
        end += sql[end] == c ? 2 : 1;
      end = std::min(end + 1, sql.size());
      out.append(sql.substr(i, end - i));
      i = end;
      continue;
    }
    const std::string_view rest = sql.substr(i);
    bool marked = false;
    if (c == ' ' && rest.starts_with(kCollate))
      for (const auto& [group, mark] : kByteMarks)
        if ((groups & group) != 0 && rest.substr(kCollate.size()).starts_with(mark)) {
          out += " COLLATE BINARY";
          i += kCollate.size() + mark.size();
          marked = true;
          break;
        }
    if (!marked) out += sql[i++];
  }
  return out;
}

}  // namespace kolt::engine::dialect
