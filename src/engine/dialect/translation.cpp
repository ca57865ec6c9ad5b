#include "engine/dialect/translation.h"

#include "base/date_text.h"
#include "base/error.h"
#include "engine/dialect/emitter.h"
#include "engine/dialect/function_table.h"
#include "engine/dialect/lexer.h"
#include "engine/dialect/parser.h"

namespace kolt::engine {
namespace {

bool selectNamesOtherDatabase(const dialect::Select& s);

bool exprNamesOtherDatabase(const dialect::Expr& e) {
  if (e.subquery && selectNamesOtherDatabase(*e.subquery)) return true;
  for (const auto& arg : e.args)
    if (exprNamesOtherDatabase(*arg)) return true;
  return false;
}

bool tableNamesOtherDatabase(const dialect::TableRef& t) {
  switch (t.kind) {
    case dialect::TableRef::Kind::Table:
      return dialect::namesOtherDatabase(t);
    case dialect::TableRef::Kind::Subquery:
      return selectNamesOtherDatabase(*t.subquery);
    case dialect::TableRef::Kind::Join:
      return tableNamesOtherDatabase(*t.left) || tableNamesOtherDatabase(*t.right) ||
             (t.on && exprNamesOtherDatabase(*t.on));
  }
  return false;
}

bool selectNamesOtherDatabase(const dialect::Select& s) {
  if (s.into && s.into->inFile) return true;
  if (s.from && tableNamesOtherDatabase(*s.from)) return true;
  for (const auto& item : s.items)
    if (exprNamesOtherDatabase(*item.expr)) return true;
  for (const dialect::Expr* e : {s.where.get(), s.having.get()})
    if (e && exprNamesOtherDatabase(*e)) return true;
  for (const auto& e : s.groupBy)
    if (exprNamesOtherDatabase(*e)) return true;
  for (const auto& o : s.orderBy)
    if (exprNamesOtherDatabase(*o.expr)) return true;
  return false;
}

// Whether an expression is sure to give a date: a date literal, a call of a function whose row
// says so, or an IIf whose two branches are both.
bool givesDate(const dialect::Expr& e) {
  switch (e.kind) {
    case dialect::Expr::Kind::Date:
      return true;
    case dialect::Expr::Kind::Function: {
      const dialect::AccessFunction* f = dialect::findAccessFunction(e.text);
      if (f && f->result == dialect::ResultKind::Date) return true;
      return f && f->name == "IIf" && e.args.size() == 3 && givesDate(*e.args[1]) &&
             givesDate(*e.args[2]);
    }
    default:
      return false;
  }
}

// Column by column, as the select list gives them; nothing when a * makes the columns more than
// the items.
std::vector<std::string> computedTypes(const dialect::Select& s) {
  std::vector<std::string> types;
  for (const auto& item : s.items) {
    if (item.expr->kind == dialect::Expr::Kind::Star) return {};
    types.push_back(givesDate(*item.expr) ? std::string(base::kDateType) : std::string());
  }
  return types;
}

}  // namespace

Translation translate(std::string_view statement) {
  dialect::Statement st = dialect::parse(statement);
  Translation t;
  switch (st.kind) {
    case dialect::Statement::Kind::Select:
      t.sql = dialect::emitSelect(*st.select);
      if (!st.select->into) {
        t.kind = Translation::Kind::Query;
        break;
      }
      t.target = st.select->into->table;
      t.inFile = st.select->into->inFile;
      t.computedTypes = computedTypes(*st.select);
      if (st.select->into->connect) {
        if (!dialect::isExcelConnect(*st.select->into->connect) || !t.inFile)
          throw base::Error(base::kErrSyntax, "No se puede exportar a '" +
                                                  *st.select->into->connect +
                                                  "': solo se admiten libros 'Excel 8.0;'.");
        t.kind = Translation::Kind::Export;
      } else {
        t.kind = Translation::Kind::SelectInto;
      }
      break;
    case dialect::Statement::Kind::Insert:
    case dialect::Statement::Kind::CreateTable:
    case dialect::Statement::Kind::DropTable:
      t.kind = Translation::Kind::Command;
      t.target = st.table;
      t.sql = dialect::emitCommand(st);
      break;
  }
  return t;
}

StatementDescription describeStatement(std::string_view text) {
  StatementDescription d;
  const std::vector<dialect::Token> tokens = dialect::tokenize(text);
  std::size_t firstStart = 0, firstEnd = text.size();
  bool open = false;  // a statement has begun since the last ';'
  for (const dialect::Token& t : tokens) {
    if (t.kind == dialect::TokenKind::End) break;
    if (t.isSymbol(";")) {
      if (d.statementCount == 1 && firstEnd == text.size()) firstEnd = t.offset;
      open = false;
    } else if (!open) {
      open = true;
      if (++d.statementCount == 1) firstStart = t.offset;
    }
  }
  if (d.statementCount == 0) return d;
  // The first statement alone, blanks in place of what comes before it, so that an error's
  // position is still its place in the whole text.
  const dialect::Statement st = dialect::parse(
      std::string(firstStart, ' ') + std::string(text.substr(firstStart, firstEnd - firstStart)));
  switch (st.kind) {
    case dialect::Statement::Kind::Select:
      if (st.select->into) {
        d.kind = StatementDescription::Kind::SelectInto;
        d.target = st.select->into->table;
      }
      d.namesExternalDatabase = selectNamesOtherDatabase(*st.select);
      break;
    case dialect::Statement::Kind::Insert:
      if (st.select) d.kind = StatementDescription::Kind::InsertSelect;
      d.target = st.table;
      d.namesExternalDatabase =
          st.inFile.has_value() || (st.select && selectNamesOtherDatabase(*st.select));
      break;
    case dialect::Statement::Kind::CreateTable:
    case dialect::Statement::Kind::DropTable:
      d.target = st.table;
      break;
  }
  return d;
}

std::shared_ptr<const Translation> TranslationCache::get(std::string_view statement) {
  std::string text(statement);
  {
    std::lock_guard lock(mutex_);
    if (auto it = newer_.find(text); it != newer_.end()) return it->second;
    if (auto it = older_.find(text); it != older_.end()) {
      auto translation = it->second;
      keep(std::move(text), translation);
      return translation;
    }
  }
  auto translation = std::make_shared<const Translation>(translate(statement));
  std::lock_guard lock(mutex_);
  keep(std::move(text), translation);
  return translation;
}

std::size_t TranslationCache::size() {
  std::lock_guard lock(mutex_);
  return newer_.size() + older_.size();
}

void TranslationCache::keep(std::string text, std::shared_ptr<const Translation> translation) {
  if (newer_.size() >= kGeneration) {
    older_ = std::move(newer_);
    newer_.clear();
  }
  newer_.try_emplace(std::move(text), std::move(translation));
}

}  // namespace kolt::engine
