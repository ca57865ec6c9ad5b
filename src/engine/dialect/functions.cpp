#include "engine/dialect/functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "base/date_text.h"
#include "engine/dialect/emitter.h"
#include "engine/dialect/function_table.h"

namespace kolt::engine::dialect {
namespace {

// Decodes one UTF-8 code point at s[i], advancing i; a malformed byte stands for itself.
char32_t decode(std::string_view s, std::size_t& i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if (i + static_cast<std::size_t>(extra) >= s.size()) extra = 0;  // cut short: stands for itself
  char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    const unsigned char cont = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
    if ((cont & 0xC0) != 0x80) {
      ++i;
      return c;
    }
    cp = (cp << 6) | (cont & 0x3F);
  }
  i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

// Lower case of the letters whose case the Access engine ignores: Latin, Greek and Cyrillic.
char32_t fold(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F))
    return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c == 0x178) return 0xFF;
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
    return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
  return c;
}

std::size_t codePointCount(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// Byte offset of the code point number `index` (0-based), or s.size() past the end.
std::size_t byteOffset(std::string_view s, std::size_t index) {
  std::size_t i = 0;
  for (; i < s.size(); ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && index-- == 0) return i;
  return s.size();
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The text an Access function sees for a value: numbers as the engine prints them.
std::optional<std::string> textOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER:
      // A whole number this large is a Double to the Access engine, written as one.
      if (const sqlite3_int64 n = sqlite3_value_int64(v);
          n > -1000000000000000LL && n < 1000000000000000LL)
        return std::to_string(n);
      [[fallthrough]];
    case SQLITE_FLOAT: {
      // Fifteen significant digits, and an exponent written as Access writes it: 1E+16, 1E-05.
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.15G", sqlite3_value_double(v));
      return std::string(buffer);
    }
    default:
      return std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                         static_cast<std::size_t>(sqlite3_value_bytes(v)));
  }
}

// An argument's text for the string functions: read in place when it is text already, since they
// run for every row a rule reads; a number is written out first, as textOf does.
class TextArgument {
 public:
  explicit TextArgument(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_TEXT) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
      view_ = std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(v)));
    } else {
      owned_ = textOf(v).value_or("");
      view_ = owned_;
    }
  }
  TextArgument(const TextArgument&) = delete;
  TextArgument& operator=(const TextArgument&) = delete;
  std::string_view view() const { return view_; }

 private:
  std::string owned_;
  std::string_view view_;
};

void resultText(sqlite3_context* ctx, std::string_view text) {
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void resultNumber(sqlite3_context* ctx, double value) {
  if (std::floor(value) == value && std::fabs(value) < 9007199254740992.0)
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(value));
  else
    sqlite3_result_double(ctx, value);
}

bool anyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  return false;
}

// A character count argument, rounded half to even as CLng rounds it (Left('abcdef', 2.5) takes
// two); negative counts are the Access engine's "invalid procedure call".
bool countArgument(sqlite3_context* ctx, sqlite3_value* v, std::size_t& out) {
  const double n = std::nearbyint(sqlite3_value_double(v));
  if (n < 0) {
    sqlite3_result_error(ctx, "Llamada a procedimiento o argumento no válido", -1);
    return false;
  }
  out = n > 1e9 ? static_cast<std::size_t>(1e9) : static_cast<std::size_t>(n);
  return true;
}

}  // namespace

void lenFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_BLOB) {
    sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0]));
    return;
  }
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const TextArgument text(argv[0]);
  sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(codePointCount(text.view())));
}

void leftFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::size_t n;
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  if (!countArgument(ctx, argv[1], n)) return;
  const TextArgument argument(argv[0]);
  const std::string_view text = argument.view();
  resultText(ctx, text.substr(0, byteOffset(text, n)));
}

void rightFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::size_t n;
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  if (!countArgument(ctx, argv[1], n)) return;
  const TextArgument argument(argv[0]);
  const std::string_view text = argument.view();
  const std::size_t count = codePointCount(text);
  resultText(ctx, text.substr(byteOffset(text, count > n ? count - n : 0)));
}

void midFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::size_t start, length = static_cast<std::size_t>(1e9);
  if (!countArgument(ctx, argv[1], start) || (argc == 3 && !countArgument(ctx, argv[2], length)))
    return;
  if (start == 0) {
    sqlite3_result_error(ctx, "Llamada a procedimiento o argumento no válido", -1);
    return;
  }
  const TextArgument argument(argv[0]);
  const std::string_view text = argument.view();
  const std::size_t from = byteOffset(text, start - 1);
  const std::size_t to =
      byteOffset(text, start - 1 + std::min(length, static_cast<std::size_t>(1e9)));
  resultText(ctx, text.substr(from, to - from));
}

void valFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
    return resultNumber(ctx, sqlite3_value_double(argv[0]));
  const auto value = accessVal(*textOf(argv[0]));
  value ? resultNumber(ctx, *value) : sqlite3_result_null(ctx);
}

void cintFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::optional<int> result;
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      result = accessCInt(sqlite3_value_double(argv[0]));
      break;
    case SQLITE_TEXT:
      result = accessCInt(*textOf(argv[0]));
      break;
    default:
      break;
  }
  if (result)
    sqlite3_result_int(ctx, *result);
  else
    sqlite3_result_null(ctx);
}

void cdateFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::optional<std::string> result;
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      if (auto d = base::fromSerial(sqlite3_value_double(argv[0])))
        result = base::formatCanonical(*d);
      break;
    case SQLITE_TEXT:
      result = accessCDate(*textOf(argv[0]));
      break;
    default:
      break;
  }
  if (result)
    resultText(ctx, *result);
  else
    sqlite3_result_null(ctx);
}

namespace {

// Upper case of the letters fold() lowers.
char32_t unfold(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F))
    return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if (c == 0xFF) return 0x178;
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
    return c & ~char32_t{1};
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
  return c;
}

void encode(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string mapLetters(std::string_view text, char32_t (*map)(char32_t)) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) encode(map(decode(text, i)), out);
  return out;
}

std::u32string foldedCharacters(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) out += fold(decode(text, i));
  return out;
}

// A whole number in a range, rounded half to even as CInt and CLng round.
std::optional<std::int64_t> roundedInRange(std::optional<double> value, double lowest,
                                           double highest) {
  if (!value || !std::isfinite(*value)) return std::nullopt;
  const double rounded = std::nearbyint(*value);
  if (rounded < lowest || rounded > highest) return std::nullopt;
  return static_cast<std::int64_t>(rounded);
}

std::optional<double> strictNumber(std::string_view text);

}  // namespace

std::string accessUCase(std::string_view text) {
  return mapLetters(text, unfold);
}

std::string accessLCase(std::string_view text) {
  return mapLetters(text, fold);
}

std::optional<double> accessNumber(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return sqlite3_value_double(v);
    case SQLITE_TEXT: {
      const TextArgument text(v);
      if (auto n = strictNumber(text.view())) return n;
      if (auto d = base::parseCanonical(text.view())) return base::toSerial(*d);
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

void clngFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto n = roundedInRange(accessNumber(argv[0]), -2147483648.0, 2147483647.0);
  n ? sqlite3_result_int64(ctx, *n) : sqlite3_result_null(ctx);
}

void cdblFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto n = accessNumber(argv[0]);
  n ? resultNumber(ctx, *n) : sqlite3_result_null(ctx);
}

void cstrFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto text = textOf(argv[0]);
  text ? resultText(ctx, *text) : sqlite3_result_null(ctx);
}

// Nz(value) in a query gives '' for NULL; Nz(value, instead) gives `instead`.
void nzFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_NULL) return sqlite3_result_value(ctx, argv[0]);
  if (argc == 2) return sqlite3_result_value(ctx, argv[1]);
  resultText(ctx, "");
}

// Access's True is -1.
void isNullFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_result_int(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? -1 : 0);
}

// InStr([start,] text, sought): the position of `sought` in `text` from `start`, letter case
// ignored; 0 when it is not there, `start` for an empty `sought` within the text.
void instrFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::size_t start = 1;
  if (argc == 3) {
    if (!countArgument(ctx, argv[0], start)) return;
    if (start == 0) {
      sqlite3_result_error(ctx, "Llamada a procedimiento o argumento no válido", -1);
      return;
    }
  }
  const TextArgument textArgument(argv[argc - 2]), soughtArgument(argv[argc - 1]);
  const std::u32string text = foldedCharacters(textArgument.view());
  const std::u32string sought = foldedCharacters(soughtArgument.view());
  if (start > text.size()) return sqlite3_result_int(ctx, 0);
  if (sought.empty()) return sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(start));
  const std::size_t at = text.find(sought, start - 1);
  sqlite3_result_int64(ctx, at == std::u32string::npos ? 0 : static_cast<sqlite3_int64>(at + 1));
}

void ucaseFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const TextArgument text(argv[0]);
  resultText(ctx, accessUCase(text.view()));
}

void lcaseFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const TextArgument text(argv[0]);
  resultText(ctx, accessLCase(text.view()));
}

// & joins the texts of its operands, a NULL one as ''; two NULLs give NULL.
void concatFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto a = textOf(argv[0]), b = textOf(argv[1]);
  if (!a && !b) return sqlite3_result_null(ctx);
  resultText(ctx, a.value_or("") + b.value_or(""));
}

// Mod rounds both operands to whole numbers first; the remainder takes the dividend's sign. A
// divisor of 0 is the Access engine's division by zero, here NULL.
void modFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto a = roundedInRange(accessNumber(argv[0]), -9.2e18, 9.2e18),
             b = roundedInRange(accessNumber(argv[1]), -9.2e18, 9.2e18);
  if (!a || !b || *b == 0) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, *b == -1 ? 0 : *a % *b);
}

// * and / read texts as numbers as CDbl does; a text that is none is a type mismatch in Access,
// here NULL. / always divides in full (10 / 4 is 2.5), and by 0 gives NULL.
void multiplyFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER &&
      sqlite3_value_type(argv[1]) == SQLITE_INTEGER) {
    sqlite3_int64 product;
    if (!__builtin_mul_overflow(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]),
                                &product))
      return sqlite3_result_int64(ctx, product);
  }
  const auto a = accessNumber(argv[0]), b = accessNumber(argv[1]);
  if (!a || !b) return sqlite3_result_null(ctx);
  resultNumber(ctx, *a * *b);
}

void divideFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto a = accessNumber(argv[0]), b = accessNumber(argv[1]);
  if (!a || !b || *b == 0) return sqlite3_result_null(ctx);
  resultNumber(ctx, *a / *b);
}

// Integer division (\) rounds both operands as Mod does and keeps the whole part of the quotient.
void integerDivideFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto a = roundedInRange(accessNumber(argv[0]), -9.2e18, 9.2e18),
             b = roundedInRange(accessNumber(argv[1]), -9.2e18, 9.2e18);
  if (!a || !b || *b == 0) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, *b == -1 ? -*a : *a / *b);
}

namespace {

// The place of a character in the order in which the Access engine sorts and compares texts:
// letters in the alphabet's order whatever their case, a letter with an accent after the plain
// one and before the next letter (A = a < À = à < B = b), ñ a letter of its own between n and o.
// `letter` decides first; `accent` (0 for none, else the character's code, so accents among
// themselves follow their codes) tells apart texts whose letters agree. ASCII keeps its order;
// every other character comes after it, by its code.
struct SortKey {
  std::uint32_t letter;
  std::uint32_t accent;
  bool operator<=(const SortKey& o) const {
    return letter < o.letter || (letter == o.letter && accent <= o.accent);
  }
};

// The plain letter of each lower case letter from à (U+00E0) to ÿ and from U+0100 to U+017F;
// '.' for a character that is a letter of its own (æ, ÷, þ, ĳ, œ) or ñ.
constexpr std::string_view kLatin1Letters = "aaaaaa.ceeeeiiiid.ooooo.ouuuuy.y";
constexpr std::string_view kExtendedLetters =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii..jjkkklllllll"
    "lllnnnnnnnnnoooooo..rrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(kLatin1Letters.size() == 0x20 && kExtendedLetters.size() == 0x80);

SortKey sortKey(char32_t c) {
  c = fold(c);
  if (c < 0x80) return {c * 2, 0};
  if (c == U'ñ') return {'n' * 2 + 1, 0};
  char letter = '.';
  if (c >= 0xE0 && c <= 0xFF) letter = kLatin1Letters[c - 0xE0];
  if (c >= 0x100 && c <= 0x17F) letter = kExtendedLetters[c - 0x100];
  if (letter != '.') return {static_cast<std::uint32_t>(letter) * 2, c};
  return {0x100 + c, 0};
}

}  // namespace

namespace {

// One step of a Like pattern: a character, any one (?), a digit (#), any run (*), or a list.
struct LikeElement {
  enum class Kind { Character, AnyOne, Digit, AnyRun, List };
  explicit LikeElement(Kind k, char32_t c = 0) : kind(k), character(c) {}
  Kind kind;
  char32_t character = 0;
  bool negated = false;
  // List: inclusive ranges in the order texts sort in, so that [a-z] holds á and ñ as Access's
  // ranges do; a lone character is a range of one.
  std::vector<std::pair<SortKey, SortKey>> ranges;
};

// A pattern read into its steps, or what is wrong with it: a [ without its ], or a range whose
// first character sorts after its last ([Z-A]), which Access refuses as an invalid pattern. In a
// list, ! first negates it, a-b is a range, and a - at either end stands for itself;
// [*] [?] [#] [[] write the signs themselves.
struct CompiledLike {
  std::vector<LikeElement> steps;
  std::string fault;  // empty for a well formed pattern
};

CompiledLike compileLike(std::string_view pattern) {
  CompiledLike out;
  for (std::size_t i = 0; i < pattern.size();) {
    const char32_t c = decode(pattern, i);
    if (c == '*') {
      if (out.steps.empty() || out.steps.back().kind != LikeElement::Kind::AnyRun)
        out.steps.emplace_back(LikeElement::Kind::AnyRun);
    } else if (c == '?') {
      out.steps.emplace_back(LikeElement::Kind::AnyOne);
    } else if (c == '#') {
      out.steps.emplace_back(LikeElement::Kind::Digit);
    } else if (c == '[') {
      LikeElement list(LikeElement::Kind::List);
      const std::size_t start = i;
      std::u32string items;
      bool closed = false;
      while (i < pattern.size()) {
        const char32_t item = decode(pattern, i);
        if (item == ']') {
          closed = true;
          break;
        }
        items += item;
      }
      if (!closed) return {{}, "Cada [ debe cerrarse con ]."};
      std::size_t k = 0;
      if (!items.empty() && items[0] == '!') list.negated = true, k = 1;
      for (; k < items.size(); ++k) {
        if (k + 2 < items.size() && items[k + 1] == '-') {
          const SortKey low = sortKey(items[k]), high = sortKey(items[k + 2]);
          if (!(low <= high))
            return {{},
                    "El intervalo [" + std::string(pattern.substr(start, i - start)) +
                        " empieza después de donde termina; escriba primero el carácter menor."};
          list.ranges.emplace_back(low, high);
          k += 2;
        } else {
          list.ranges.emplace_back(sortKey(items[k]), sortKey(items[k]));
        }
      }
      // [] matches the empty text: it is no step at all.
      if (!list.ranges.empty() || list.negated) out.steps.push_back(std::move(list));
    } else {
      out.steps.emplace_back(LikeElement::Kind::Character, fold(c));
    }
  }
  return out;
}

bool matchesOne(const LikeElement& e, char32_t c) {
  switch (e.kind) {
    case LikeElement::Kind::Character:
      return e.character == c;
    case LikeElement::Kind::AnyOne:
      return true;
    case LikeElement::Kind::Digit:
      return c >= '0' && c <= '9';
    case LikeElement::Kind::List: {
      const SortKey key = sortKey(c);
      bool in = false;
      for (const auto& [low, high] : e.ranges) in = in || (low <= key && key <= high);
      return in != e.negated;
    }
    case LikeElement::Kind::AnyRun:
      break;
  }
  return false;
}

// Matching with one remembered * to go back to: each * first takes nothing, then one character
// more each time the rest fails, which is enough because a later * can take any later run.
bool matchLike(const std::vector<LikeElement>& pattern, const std::u32string& text) {
  std::size_t p = 0, t = 0, starP = std::string::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p].kind == LikeElement::Kind::AnyRun) {
      starP = ++p;
      starT = t;
    } else if (p < pattern.size() && matchesOne(pattern[p], text[t])) {
      ++p, ++t;
    } else if (starP != std::string::npos) {
      p = starP;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p].kind == LikeElement::Kind::AnyRun) ++p;
  return p == pattern.size();
}

}  // namespace

std::string likePatternFault(std::string_view pattern) {
  return compileLike(pattern).fault;
}

bool accessLike(std::string_view text, std::string_view pattern) {
  const CompiledLike compiled = compileLike(pattern);
  return compiled.fault.empty() && matchLike(compiled.steps, foldedCharacters(text));
}

// Like gives -1 (Access's True) or 0; NULL on either side gives NULL.
void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  const TextArgument text(argv[0]), pattern(argv[1]);
  sqlite3_result_int(ctx, accessLike(text.view(), pattern.view()) ? -1 : 0);
}

namespace {

// The rest of a comparison, character by character, from position i: a boundary of both texts
// before which they are equal. Kept apart so that the common case stays small enough to inline.
// The letters decide first, over the whole of both texts; the accents only between texts whose
// letters all agree, so that 'áb' < 'ac' and 'a' < 'á' < 'ab'.
[[gnu::noinline]] int compareCharacters(std::string_view a, std::string_view b, std::size_t i) {
  std::size_t j = i;
  int accents = 0;  // the first difference of accents, while the letters agree
  while (i < a.size() && j < b.size()) {
    const SortKey x = sortKey(decode(a, i)), y = sortKey(decode(b, j));
    if (x.letter != y.letter) return x.letter < y.letter ? -1 : 1;
    if (accents == 0 && x.accent != y.accent) accents = x.accent < y.accent ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return accents;
}

// Every index lookup on a text key compares a dozen times, mostly short ASCII texts that agree for
// a while (a unit's one clues, dates of one year), so equal bytes are skipped eight at a time,
// then one at a time, and only a difference between ASCII letters needs folding. At the first byte
// outside ASCII that differs, comparing goes on by characters from the last boundary both texts
// share: the start, or the byte after an ASCII one, which no decoding ever joins to the character
// before it.
inline int compareText(std::string_view a, std::string_view b) {
  const std::size_t shorter = std::min(a.size(), b.size());
  std::size_t i = 0;
  for (std::uint64_t x, y; i + 8 <= shorter; i += 8) {
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) {
      if constexpr (std::endian::native == std::endian::little)
        i += static_cast<std::size_t>(std::countr_zero(x ^ y)) / 8;
      break;
    }
  }
  for (; i < shorter; ++i) {
    const unsigned char ca = static_cast<unsigned char>(a[i]),
                        cb = static_cast<unsigned char>(b[i]);
    if (ca == cb) continue;
    if ((ca | cb) >= 0x80) break;
    const unsigned x = ca - 65u < 26u ? ca + 32u : ca, y = cb - 65u < 26u ? cb + 32u : cb;
    if (x != y) return x < y ? -1 : 1;
  }
  // A text that ends inside a character reads that character differently from one that goes on.
  if (i == shorter &&
      (a.size() == b.size() || i == 0 || static_cast<unsigned char>(a[i - 1]) < 0x80))
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
  while (i > 0 && static_cast<unsigned char>(a[i - 1]) >= 0x80) --i;
  return compareCharacters(a, b, i);
}

int collate(void*, int na, const void* a, int nb, const void* b) {
  return compareText(std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(na)),
                     std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(nb)));
}

// A decimal number at the start of s: sign, digits, point, digits, exponent. Returns its length.
std::size_t numberPrefix(std::string_view s, bool allowDExponent) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() &&
      (s[i] == 'e' || s[i] == 'E' || (allowDExponent && (s[i] == 'd' || s[i] == 'D')))) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
      while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
      i = j;
    }
  }
  return i;
}

double toDouble(std::string text) {
  for (char& c : text)
    if (c == 'd' || c == 'D') c = 'e';
  return std::strtod(text.c_str(), nullptr);
}

// A text that is wholly a number, blanks around it allowed.
std::optional<double> strictNumber(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  const std::string_view s = text.substr(begin, end - begin);
  if (s.empty() || numberPrefix(s, false) != s.size()) return std::nullopt;
  return toDouble(std::string(s));
}

}  // namespace

int compareIgnoringCase(std::string_view a, std::string_view b) {
  return compareText(a, b);
}

std::optional<double> accessVal(std::string_view text) {
  std::string s;
  for (char c : text)
    if (!isBlank(c)) s += c;
  if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    // &H and &O numbers are Integer when they fit in 16 bits and Long when they fit in 32, both
    // read as two's complement: &HFFFF is -1, &H10000 is 65536. A longer one is Val's overflow.
    const int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
    std::uint64_t value = 0;
    for (std::size_t i = 2; i < s.size(); ++i) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
      if (digit >= base) break;
      value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
      if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    if (value <= 0xFFFFu) return static_cast<double>(static_cast<std::int16_t>(value));
    return static_cast<double>(static_cast<std::int32_t>(value));
  }
  const std::size_t n = numberPrefix(s, true);
  return n == 0 ? 0.0 : toDouble(s.substr(0, n));
}

std::optional<int> accessCInt(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double rounded = std::nearbyint(value);  // the default rounding mode: half to even
  if (rounded < -32768 || rounded > 32767) return std::nullopt;
  return static_cast<int>(rounded);
}

std::optional<int> accessCInt(std::string_view text) {
  const auto n = strictNumber(text);
  if (!n) return std::nullopt;
  return accessCInt(*n);
}

std::optional<std::string> accessCDate(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  const std::string s(text.substr(begin, end - begin));
  if (auto canonical = base::parseCanonical(s)) return base::formatCanonical(*canonical);

  // The date part: three runs of digits with one separator, '-' or '/'.
  const std::size_t dateEnd = std::min(s.find(' '), s.size());
  const std::string datePart = s.substr(0, dateEnd);
  const char separator = datePart.find('/') != std::string::npos ? '/' : '-';
  std::string parts[3];
  int count = 0;
  for (char c : datePart) {
    if (c == separator) {
      if (++count > 2) return std::nullopt;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      parts[count] += c;
    } else {
      return std::nullopt;
    }
  }
  if (count != 2 || parts[0].empty() || parts[1].empty() || parts[2].empty()) return std::nullopt;
  base::DateTime d;
  if (parts[0].size() == 4 && parts[1].size() <= 2 && parts[2].size() <= 2) {
    d.year = std::stoi(parts[0]), d.month = std::stoi(parts[1]), d.day = std::stoi(parts[2]);
  } else if (separator == '/' && parts[0].size() <= 2 && parts[1].size() <= 2 &&
             parts[2].size() == 4) {
    // dd/mm/yyyy: day first, whatever the machine's locale.
    d.day = std::stoi(parts[0]), d.month = std::stoi(parts[1]), d.year = std::stoi(parts[2]);
  } else {
    return std::nullopt;
  }
  if (dateEnd < s.size()) {
    int used = 0;
    const std::string time = s.substr(dateEnd + 1);
    if (std::sscanf(time.c_str(), "%2d:%2d:%2d%n", &d.hour, &d.minute, &d.second, &used) != 3 ||
        static_cast<std::size_t>(used) != time.size() || d.hour < 0 || d.hour > 23 ||
        d.minute < 0 || d.minute > 59 || d.second < 0 || d.second > 59)
      return std::nullopt;
  }
  if (!base::isValidDate(d.year, d.month, d.day)) return std::nullopt;
  return base::formatCanonical(d);
}

void registerFunctions(sqlite3* db) {
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  sqlite3_create_collation(db, kCollation, SQLITE_UTF8, nullptr, collate);
  for (const AccessFunction& f : accessFunctions()) {
    if (!f.implementation) continue;
    const std::string name(f.engine);
    // One registration per number of arguments, never "any number": an implementation then reads
    // only the arguments it was written for, whatever text reaches SQLite.
    for (int argc = f.minArgs; argc <= f.maxArgs; ++argc)
      sqlite3_create_function(db, name.c_str(), argc, flags, nullptr, f.implementation, nullptr,
                              nullptr);
  }
  const std::pair<const char*, SqlFunction> operators[] = {
      {kConcatFunction, concatFunction},
      {kAddFunction, addFunction},
      {kSubtractFunction, subtractFunction},
      {kModFunction, modFunction},
      {kMultiplyFunction, multiplyFunction},
      {kDivideFunction, divideFunction},
      {kIntegerDivideFunction, integerDivideFunction},
      {kLikeFunction, likeFunction},
      {kCompareFunction, compareFunction}};
  for (const auto& [name, implementation] : operators)
    sqlite3_create_function(db, name, 2, flags, nullptr, implementation, nullptr, nullptr);
}

}  // namespace kolt::engine::dialect
