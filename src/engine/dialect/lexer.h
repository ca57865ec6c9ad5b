// Splits an Access-dialect statement text into tokens.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kolt::engine::dialect {

enum class TokenKind {
  Word,       // a bare name or keyword: SELECT, egreso, Validacion12, Notificación
  DigitWord,  // a name that begins with a digit and holds a letter: 697X
  Bracketed,  // [any name]: the text between the brackets
  Number,     // 130, 2.5, 74 (also a table name where a table name stands)
  String,     // 'text' or "text", quotes removed and doubled quotes undone
  Date,       // #2013/03/05#: the text between the signs
  Symbol,     // = <> < > <= >= ( ) , . * + - / & ; \ ^
  End,
};

struct Token {
  TokenKind kind;
  std::string text;
  std::size_t offset;  // where it starts in the statement, for error messages

  // True for a Word equal to `keyword` without regard to case.
  bool is(std::string_view keyword) const;
  bool isSymbol(std::string_view symbol) const {
    return kind == TokenKind::Symbol && text == symbol;
  }
};

// Throws base::Error (base::kErrSyntax) on an unterminated quote, bracket or date, or a stray
// character.
std::vector<Token> tokenize(std::string_view statement);

}  // namespace kolt::engine::dialect
