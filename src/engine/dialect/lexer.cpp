#include "engine/dialect/lexer.h"

#include "base/error.h"

namespace kolt::engine::dialect {
namespace {

bool isNameByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c >= 0x80;  // accented letters in UTF-8
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

[[noreturn]] void fail(std::string_view what, std::size_t offset) {
  throw base::Error(base::kErrSyntax,
                    "Error de sintaxis en la instrucción SQL: " + std::string(what) +
                        " (posición " + std::to_string(offset + 1) + ").");
}

}  // namespace

bool Token::is(std::string_view keyword) const {
  if (kind != TokenKind::Word || text.size() != keyword.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char a = text[i], b = keyword[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
    if (a != b) return false;
  }
  return true;
}

std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    const std::size_t start = i;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (c == '\'' || c == '"') {
      std::string text;
      for (++i;; ++i) {
        if (i >= s.size()) fail("falta la comilla que cierra un texto", start);
        if (s[i] == c) {
          if (i + 1 < s.size() && s[i + 1] == c) {
            text += c;
            ++i;
            continue;
          }
          break;
        }
        text += s[i];
      }
      ++i;
      tokens.push_back({TokenKind::String, std::move(text), start});
    } else if (c == '[') {
      const std::size_t close = s.find(']', i);
      if (close == std::string_view::npos) fail("falta el corchete que cierra un nombre", start);
      tokens.push_back({TokenKind::Bracketed, std::string(s.substr(i + 1, close - i - 1)), start});
      i = close + 1;
    } else if (c == '#') {
      const std::size_t close = s.find('#', i + 1);
      if (close == std::string_view::npos) fail("falta el # que cierra una fecha", start);
      tokens.push_back({TokenKind::Date, std::string(s.substr(i + 1, close - i - 1)), start});
      i = close + 1;
    } else if (isDigit(c) || (c == '.' && i + 1 < s.size() && isDigit(s[i + 1]))) {
      while (i < s.size() && isDigit(s[i])) ++i;
      if (i < s.size() && isNameByte(static_cast<unsigned char>(s[i])) && s[i] != 'e' &&
          s[i] != 'E') {
        // 697X: a name, written without brackets, that begins with a digit.
        while (i < s.size() && isNameByte(static_cast<unsigned char>(s[i]))) ++i;
        tokens.push_back({TokenKind::DigitWord, std::string(s.substr(start, i - start)), start});
        continue;
      }
      if (i + 1 < s.size() && s[i] == '.' && isDigit(s[i + 1])) {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i;
      } else if (i < s.size() && s[i] == '.' && (i + 1 == s.size() || !isNameByte(s[i + 1]))) {
        ++i;  // "2." is a number too
      }
      if (i + 1 < s.size() && (s[i] == 'e' || s[i] == 'E') &&
          (isDigit(s[i + 1]) ||
           ((s[i + 1] == '+' || s[i + 1] == '-') && i + 2 < s.size() && isDigit(s[i + 2])))) {
        i += 2;
        while (i < s.size() && isDigit(s[i])) ++i;
      }
      if (i < s.size() && isNameByte(static_cast<unsigned char>(s[i]))) {
        while (i < s.size() && isNameByte(static_cast<unsigned char>(s[i]))) ++i;
        tokens.push_back({TokenKind::DigitWord, std::string(s.substr(start, i - start)), start});
        continue;
      }
      tokens.push_back({TokenKind::Number, std::string(s.substr(start, i - start)), start});
    } else if (isNameByte(static_cast<unsigned char>(c))) {
      while (i < s.size() && isNameByte(static_cast<unsigned char>(s[i]))) ++i;
      // Left$, Mid$, ...: the $ forms of the text functions are names of their own.
      if (i < s.size() && s[i] == '$') ++i;
      tokens.push_back({TokenKind::Word, std::string(s.substr(start, i - start)), start});
    } else {
      static constexpr std::string_view kTwo[] = {"<>", "<=", ">=", "!="};
      std::string symbol(1, c);
      for (auto two : kTwo)
        if (s.substr(i, 2) == two) symbol = two;
      if (symbol.size() == 1 &&
          std::string_view("=<>(),.*+-/&;\\^!").find(c) == std::string_view::npos)
        fail("carácter inesperado '" + symbol + "'", start);
      i += symbol.size();
      tokens.push_back({TokenKind::Symbol, std::move(symbol), start});
    }
  }
  tokens.push_back({TokenKind::End, "", s.size()});
  return tokens;
}

}  // namespace kolt::engine::dialect
