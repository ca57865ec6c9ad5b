// The statement forms of the Access dialect that the program uses, as a tree.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kolt::engine::dialect {

struct Select;

struct Expr {
  enum class Kind {
    String,  // text: the literal's text
    Number,  // text: the literal as written
    Date,    // text: canonical date text of a #...# literal
    Null,
    Column,    // qualifier (may be empty) and name
    Star,      // * or q.* (in a select list or count(*))
    Function,  // name (as written) and args
    Unary,     // op: "NOT", "-", "+"; args[0]
    Binary,    // op: AND OR XOR EQV IMP = <> < > <= >= + - * / & \ ^ MOD; args[0], args[1]
    IsNull,    // args[0]; negated for IS NOT NULL
    InList,    // args[0] [NOT] IN (args[1..])
    InSelect,  // args[0] [NOT] IN (subquery)
    Between,   // args[0] [NOT] BETWEEN args[1] AND args[2]
    Like,      // args[0] [NOT] LIKE args[1]
    Exists,    // EXISTS (subquery)
    Subquery,  // (subquery) as a value
  };
  Kind kind;
  std::string text;       // literal text, function name or operator
  std::string qualifier;  // for Column and Star
  bool negated = false;
  std::vector<std::unique_ptr<Expr>> args;
  std::unique_ptr<Select> subquery;
};
using ExprPtr = std::unique_ptr<Expr>;

struct TableRef {
  enum class Kind { Table, Subquery, Join };
  Kind kind;
  std::string name;                   // Table
  std::string database;               // Table: the [;DATABASE=...] before a dot, when written
  std::optional<std::string> inFile;  // Table: FROM name IN 'file'
  std::string alias;                  // Table or Subquery
  std::unique_ptr<Select> subquery;
  // Join
  std::string joinType;  // "INNER", "LEFT", "RIGHT", "CROSS"
  std::unique_ptr<TableRef> left, right;
  ExprPtr on;
};

struct SelectItem {
  ExprPtr expr;
  std::string alias;  // empty when none
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

// SELECT ... [INTO target [IN 'file' ['connect']]] FROM ...
struct IntoClause {
  std::string table;
  std::optional<std::string> inFile;
  std::optional<std::string> connect;  // 'Excel 8.0;' for a workbook
};

struct Select {
  bool distinct = false;
  std::optional<long long> top;  // SELECT TOP n
  std::vector<SelectItem> items;
  std::optional<IntoClause> into;
  std::unique_ptr<TableRef> from;  // null for a SELECT of constants
  ExprPtr where;
  std::vector<ExprPtr> groupBy;
  ExprPtr having;
  std::vector<OrderItem> orderBy;
};

struct ColumnDef {
  std::string name;
  std::string type;  // as written, e.g. "char(11)"
  bool notNull = false;
};

struct Statement {
  enum class Kind { Select, Insert, CreateTable, DropTable };
  Kind kind;
  std::unique_ptr<Select> select;            // Select, and the source of Insert
  std::string table;                         // Insert, CreateTable, DropTable
  std::optional<std::string> inFile;         // INSERT INTO table IN 'file'
  std::vector<std::string> columns;          // Insert's column list (may be empty)
  std::vector<std::vector<ExprPtr>> values;  // INSERT ... VALUES rows
  std::vector<ColumnDef> columnDefs;         // CreateTable
};

}  // namespace kolt::engine::dialect
