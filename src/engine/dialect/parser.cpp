#include "engine/dialect/parser.h"

#include "base/error.h"
#include "engine/dialect/date_literal.h"
#include "engine/dialect/lexer.h"

namespace kolt::engine::dialect {
namespace {

// Words that end a table reference or a select item, so they are never taken as an alias.
constexpr std::string_view kReserved[] = {
    "SELECT", "FROM", "WHERE", "GROUP",   "HAVING", "ORDER",  "INTO",     "IN",  "ON",  "JOIN",
    "INNER",  "LEFT", "RIGHT", "OUTER",   "CROSS",  "UNION",  "AND",      "OR",  "NOT", "AS",
    "BY",     "IS",   "NULL",  "BETWEEN", "LIKE",   "VALUES", "DISTINCT", "XOR", "EQV", "IMP"};

// Statements of the Access dialect that a rule may not run, refused by name.
constexpr std::string_view kOtherStatements[] = {"UPDATE",    "DELETE",     "ALTER",
                                                 "TRANSFORM", "PARAMETERS", "PROCEDURE",
                                                 "EXECUTE",   "GRANT",      "REVOKE"};

// A date literal's text as canonical date text, or its refusal, saying which forms are read.
std::string dateLiteral(const std::string& text, std::size_t offset) {
  if (auto date = readDateLiteral(text)) return *date;
  throw base::Error(base::kErrSyntax,
                    "Fecha no válida: #" + text + "# (posición " + std::to_string(offset + 1) +
                        "). Escriba mes/día/año (#01/31/2024#), año/mes/día (#2024/01/31#) o el "
                        "mes en inglés (#31-Jan-2024#), con la hora si hace falta "
                        "(#01/31/2024 10:30 PM#).");
}

class Parser {
 public:
  explicit Parser(std::string_view text) : tokens_(tokenize(text)) {}

  Statement statement() {
    Statement st;
    if (peek().is("SELECT")) {
      st.kind = Statement::Kind::Select;
      st.select = select();
    } else if (accept("INSERT")) {
      st.kind = Statement::Kind::Insert;
      expect("INTO");
      st.table = name("el nombre de una tabla");
      if (accept("IN")) st.inFile = fileName();
      if (acceptSymbol("(")) {
        do st.columns.push_back(name("el nombre de una columna"));
        while (acceptSymbol(","));
        expectSymbol(")");
      }
      if (accept("VALUES")) {
        do {
          expectSymbol("(");
          std::vector<ExprPtr> row;
          do row.push_back(expression());
          while (acceptSymbol(","));
          expectSymbol(")");
          st.values.push_back(std::move(row));
        } while (acceptSymbol(","));
      } else {
        st.select = select();
      }
    } else if (accept("CREATE")) {
      st.kind = Statement::Kind::CreateTable;
      expect("TABLE");
      st.table = name("el nombre de una tabla");
      expectSymbol("(");
      do st.columnDefs.push_back(columnDef());
      while (acceptSymbol(","));
      expectSymbol(")");
    } else if (accept("DROP")) {
      st.kind = Statement::Kind::DropTable;
      expect("TABLE");
      st.table = name("el nombre de una tabla");
    } else {
      for (auto verb : kOtherStatements)
        if (peek().is(verb)) refuse(verb);
      fail("se esperaba SELECT, INSERT, CREATE TABLE o DROP TABLE");
    }
    if (acceptSymbol(";") && peek().kind != TokenKind::End)
      refuse("una segunda instrucción después de ';'");
    if (peek().kind != TokenKind::End) fail("sobra texto al final de la instrucción");
    return st;
  }

 private:
  const Token& peek(std::size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  const Token& next() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }
  bool accept(std::string_view keyword) {
    if (!peek().is(keyword)) return false;
    ++pos_;
    return true;
  }
  bool acceptSymbol(std::string_view symbol) {
    if (!peek().isSymbol(symbol)) return false;
    ++pos_;
    return true;
  }
  void expect(std::string_view keyword) {
    if (!accept(keyword)) fail("se esperaba " + std::string(keyword));
  }
  void expectSymbol(std::string_view symbol) {
    if (!acceptSymbol(symbol)) fail("se esperaba '" + std::string(symbol) + "'");
  }
  // A construct of the Access dialect that this one does not carry, named in the refusal.
  [[noreturn]] void refuse(std::string_view construct) const {
    throw base::Error(base::kErrSyntax, "Construcción no admitida: " + std::string(construct) +
                                            " (posición " + std::to_string(peek().offset + 1) +
                                            "). Escriba la instrucción con las construcciones "
                                            "que el programa admite.");
  }
  std::string fileName() {
    const Token& file = next();
    if (file.kind != TokenKind::String) fail("se esperaba el nombre de un archivo entre comillas");
    return file.text;
  }
  [[noreturn]] void fail(const std::string& what) const {
    const Token& t = peek();
    std::string near = t.kind == TokenKind::End ? "el final" : "'" + t.text + "'";
    throw base::Error(base::kErrSyntax, "Error de sintaxis en la instrucción SQL: " + what +
                                            ", cerca de " + near + " (posición " +
                                            std::to_string(t.offset + 1) + ").");
  }

  bool isReserved(const Token& t) const {
    for (auto word : kReserved)
      if (t.is(word)) return true;
    return false;
  }

  // A table or column name: a bare word, a [bracketed name], or a name beginning with digits
  // (697X, and plain digits such as 74 where only a name can stand).
  std::string name(const char* what) {
    const Token& t = peek();
    if ((t.kind == TokenKind::Word && !isReserved(t)) || t.kind == TokenKind::Bracketed ||
        t.kind == TokenKind::DigitWord || t.kind == TokenKind::Number) {
      ++pos_;
      return t.text;
    }
    fail(std::string("se esperaba ") + what);
  }

  bool atAlias() const {
    const Token& t = peek();
    return (t.kind == TokenKind::Word && !isReserved(t)) || t.kind == TokenKind::Bracketed;
  }

  ColumnDef columnDef() {
    ColumnDef def;
    def.name = name("el nombre de una columna");
    const Token& type = next();
    if (type.kind != TokenKind::Word) fail("se esperaba el tipo de la columna");
    def.type = type.text;
    if (acceptSymbol("(")) {
      def.type += "(";
      do {
        const Token& size = next();
        if (size.kind != TokenKind::Number) fail("se esperaba un número");
        def.type += size.text;
        if (peek().isSymbol(",")) def.type += ",";
      } while (acceptSymbol(","));
      expectSymbol(")");
      def.type += ")";
    }
    for (;;) {
      if (accept("NOT")) {
        expect("NULL");
        def.notNull = true;
      } else if (!accept("NULL")) {
        break;
      }
    }
    return def;
  }

  std::unique_ptr<Select> select() {
    expect("SELECT");
    auto s = std::make_unique<Select>();
    // ALL, every row, is what a select gives without DISTINCT.
    if (!accept("ALL") && accept("DISTINCT")) s->distinct = true;
    if (peek().is("DISTINCTROW")) refuse("DISTINCTROW");
    if (accept("TOP")) {
      const Token& count = next();
      if (count.kind != TokenKind::Number ||
          count.text.find_first_not_of("0123456789") != std::string::npos)
        fail("se esperaba un número entero después de TOP");
      s->top = std::stoll(count.text.substr(0, 15));
      if (peek().is("PERCENT")) refuse("TOP ... PERCENT");
    }
    do s->items.push_back(selectItem());
    while (acceptSymbol(","));
    if (accept("INTO")) {
      IntoClause into;
      into.table = name("el nombre de la tabla nueva");
      if (accept("IN")) {
        into.inFile = fileName();
        if (peek().kind == TokenKind::String) into.connect = next().text;
      }
      s->into = std::move(into);
    }
    if (accept("FROM")) s->from = tableExpression();
    if (accept("WHERE")) s->where = expression();
    if (accept("GROUP")) {
      expect("BY");
      do s->groupBy.push_back(expression());
      while (acceptSymbol(","));
    }
    if (accept("HAVING")) s->having = expression();
    if (accept("ORDER")) {
      expect("BY");
      do {
        OrderItem item{expression(), false};
        if (accept("DESC"))
          item.descending = true;
        else
          accept("ASC");
        s->orderBy.push_back(std::move(item));
      } while (acceptSymbol(","));
    }
    if (peek().is("UNION")) refuse("UNION");
    return s;
  }

  SelectItem selectItem() {
    SelectItem item;
    if (peek().isSymbol("*")) {
      ++pos_;
      item.expr = make(Expr::Kind::Star);
      return item;
    }
    item.expr = expression();
    if (accept("AS")) item.alias = name("un alias");
    return item;
  }

  std::unique_ptr<TableRef> tableExpression() {
    auto left = tablePrimary();
    for (;;) {
      std::string type;
      if (accept("INNER")) {
        type = "INNER";
      } else if (accept("LEFT")) {
        accept("OUTER");
        type = "LEFT";
      } else if (accept("RIGHT")) {
        accept("OUTER");
        type = "RIGHT";
      } else if (peek().is("JOIN")) {
        type = "INNER";
      } else if (acceptSymbol(",")) {
        auto join = makeRef(TableRef::Kind::Join);
        join->joinType = "CROSS";
        join->left = std::move(left);
        join->right = tablePrimary();
        left = std::move(join);
        continue;
      } else {
        return left;
      }
      expect("JOIN");
      auto join = makeRef(TableRef::Kind::Join);
      join->joinType = type;
      join->left = std::move(left);
      join->right = tablePrimary();
      expect("ON");
      join->on = expression();
      left = std::move(join);
    }
  }

  std::unique_ptr<TableRef> tablePrimary() {
    if (acceptSymbol("(")) {
      if (peek().is("SELECT")) {
        auto ref = makeRef(TableRef::Kind::Subquery);
        ref->subquery = select();
        expectSymbol(")");
        accept("AS");
        if (atAlias()) ref->alias = name("un alias");
        return ref;
      }
      auto inner = tableExpression();
      expectSymbol(")");
      return inner;
    }
    auto ref = makeRef(TableRef::Kind::Table);
    ref->name = name("el nombre de una tabla");
    if (acceptSymbol(".")) {
      // [;DATABASE=file].table: a table of another database.
      ref->database = std::move(ref->name);
      ref->name = name("el nombre de una tabla");
    }
    if (accept("IN")) ref->inFile = fileName();
    if (accept("AS"))
      ref->alias = name("un alias");
    else if (atAlias())
      ref->alias = name("un alias");
    if (!ref->inFile && accept("IN")) ref->inFile = fileName();
    return ref;
  }

  static std::unique_ptr<TableRef> makeRef(TableRef::Kind kind) {
    auto ref = std::make_unique<TableRef>();
    ref->kind = kind;
    return ref;
  }
  static ExprPtr make(Expr::Kind kind, std::string text = {}) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->text = std::move(text);
    return e;
  }
  static ExprPtr binary(std::string op, ExprPtr l, ExprPtr r) {
    auto e = make(Expr::Kind::Binary, std::move(op));
    e->args.push_back(std::move(l));
    e->args.push_back(std::move(r));
    return e;
  }

  // The logical operators bind from Not, the tightest, through And, Or, Xor and Eqv to Imp.
  ExprPtr expression() { return implication(); }

  ExprPtr implication() {
    auto left = equivalence();
    while (accept("IMP")) left = binary("IMP", std::move(left), equivalence());
    return left;
  }
  ExprPtr equivalence() {
    auto left = exclusion();
    while (accept("EQV")) left = binary("EQV", std::move(left), exclusion());
    return left;
  }
  ExprPtr exclusion() {
    auto left = disjunction();
    while (accept("XOR")) left = binary("XOR", std::move(left), disjunction());
    return left;
  }

  ExprPtr disjunction() {
    auto left = conjunction();
    while (accept("OR")) left = binary("OR", std::move(left), conjunction());
    return left;
  }
  ExprPtr conjunction() {
    auto left = negation();
    while (accept("AND")) left = binary("AND", std::move(left), negation());
    return left;
  }
  ExprPtr negation() {
    if (accept("NOT")) {
      auto e = make(Expr::Kind::Unary, "NOT");
      e->args.push_back(negation());
      return e;
    }
    return predicate();
  }

  ExprPtr predicate() {
    auto left = concatenation();
    // != is no operator of the Access dialect: read as <> it would run a statement Access refuses.
    if (peek().isSymbol("!=")) refuse("el operador !=; escriba <> para 'distinto de'");
    for (auto op : {"=", "<>", "<", ">", "<=", ">="}) {
      if (acceptSymbol(op)) return binary(op, std::move(left), concatenation());
    }
    if (accept("IS")) {
      auto e = make(Expr::Kind::IsNull);
      e->negated = accept("NOT");
      expect("NULL");
      e->args.push_back(std::move(left));
      return e;
    }
    const bool negated = accept("NOT");
    if (accept("IN")) {
      expectSymbol("(");
      ExprPtr e;
      if (peek().is("SELECT")) {
        e = make(Expr::Kind::InSelect);
        e->subquery = select();
        e->args.push_back(std::move(left));
      } else {
        e = make(Expr::Kind::InList);
        e->args.push_back(std::move(left));
        do e->args.push_back(expression());
        while (acceptSymbol(","));
      }
      expectSymbol(")");
      e->negated = negated;
      return e;
    }
    if (accept("BETWEEN")) {
      auto e = make(Expr::Kind::Between);
      e->negated = negated;
      e->args.push_back(std::move(left));
      e->args.push_back(concatenation());
      expect("AND");
      e->args.push_back(concatenation());
      return e;
    }
    if (accept("LIKE")) {
      auto e = make(Expr::Kind::Like);
      e->negated = negated;
      e->args.push_back(std::move(left));
      e->args.push_back(concatenation());
      return e;
    }
    if (negated) fail("se esperaba IN, BETWEEN o LIKE después de NOT");
    return left;
  }

  ExprPtr concatenation() {
    auto left = additive();
    while (acceptSymbol("&")) left = binary("&", std::move(left), additive());
    return left;
  }
  ExprPtr additive() {
    auto left = modulo();
    for (;;) {
      if (acceptSymbol("+"))
        left = binary("+", std::move(left), modulo());
      else if (acceptSymbol("-"))
        left = binary("-", std::move(left), modulo());
      else
        return left;
    }
  }
  ExprPtr modulo() {
    auto left = integerDivision();
    while (accept("MOD")) left = binary("MOD", std::move(left), integerDivision());
    return left;
  }
  ExprPtr integerDivision() {
    auto left = multiplicative();
    while (acceptSymbol("\\")) left = binary("\\", std::move(left), multiplicative());
    return left;
  }
  ExprPtr multiplicative() {
    auto left = unary();
    for (;;) {
      if (acceptSymbol("*"))
        left = binary("*", std::move(left), unary());
      else if (acceptSymbol("/"))
        left = binary("/", std::move(left), unary());
      else
        return left;
    }
  }
  ExprPtr unary() {
    if (acceptSymbol("-") || acceptSymbol("+")) {
      auto e = make(Expr::Kind::Unary, tokens_[pos_ - 1].text);
      e->args.push_back(unary());
      return e;
    }
    auto base = primary();
    if (acceptSymbol("^")) return binary("^", std::move(base), unary());
    return base;
  }

  ExprPtr primary() {
    const Token& t = peek();
    switch (t.kind) {
      case TokenKind::String:
        ++pos_;
        return make(Expr::Kind::String, t.text);
      case TokenKind::Number:
        ++pos_;
        return make(Expr::Kind::Number, t.text);
      case TokenKind::Date:
        ++pos_;
        return make(Expr::Kind::Date, dateLiteral(t.text, t.offset));
      case TokenKind::Symbol:
        if (acceptSymbol("(")) {
          ExprPtr e;
          if (peek().is("SELECT")) {
            e = make(Expr::Kind::Subquery);
            e->subquery = select();
          } else {
            e = expression();
          }
          expectSymbol(")");
          return e;
        }
        break;
      case TokenKind::Word:
        if (accept("NULL")) return make(Expr::Kind::Null);
        if (accept("TRUE")) return make(Expr::Kind::Number, "-1");
        if (accept("FALSE")) return make(Expr::Kind::Number, "0");
        if (accept("EXISTS")) {
          auto e = make(Expr::Kind::Exists);
          expectSymbol("(");
          e->subquery = select();
          expectSymbol(")");
          return e;
        }
        // LEFT and RIGHT are join words too; before '(' they are the functions.
        if (peek(1).isSymbol("(") && !t.is("SELECT")) return functionCall();
        [[fallthrough]];
      case TokenKind::Bracketed:
      case TokenKind::DigitWord:
        if (t.kind != TokenKind::Word || !isReserved(t)) return columnReference();
        break;
      case TokenKind::End:
        break;
    }
    fail("se esperaba una expresión");
  }

  ExprPtr functionCall() {
    auto e = make(Expr::Kind::Function, next().text);
    expectSymbol("(");
    if (acceptSymbol("*")) {
      e->args.push_back(make(Expr::Kind::Star));
    } else if (!peek().isSymbol(")")) {
      do e->args.push_back(expression());
      while (acceptSymbol(","));
    }
    expectSymbol(")");
    return e;
  }

  ExprPtr columnReference() {
    std::string first = name("el nombre de una columna");
    if (acceptSymbol(".")) {
      if (acceptSymbol("*")) {
        auto e = make(Expr::Kind::Star);
        e->qualifier = std::move(first);
        return e;
      }
      auto e = make(Expr::Kind::Column, name("el nombre de una columna"));
      e->qualifier = std::move(first);
      return e;
    }
    // tabla!campo is Access's other way of writing tabla.campo.
    if (acceptSymbol("!")) {
      auto e = make(Expr::Kind::Column, name("el nombre de una columna"));
      e->qualifier = std::move(first);
      return e;
    }
    return make(Expr::Kind::Column, std::move(first));
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
};

}  // namespace

Statement parse(std::string_view statement) {
  return Parser(statement).statement();
}

}  // namespace kolt::engine::dialect
