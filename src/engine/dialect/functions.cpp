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
#include <ctime>
#include <utility>
#include <vector>

#include "base/date_text.h"
#include "base/platform/local_time.h"
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

// The text an Access function sees for a value: numbers as the engine prints them, dates in the
// short date form (accessDateText).
std::optional<std::string> textOf(sqlite3_value* v) {
  if (const auto date = storedDate(v)) return accessDateText(*date);
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
// run for every row a rule reads; a number or a date is written out first, as textOf does.
class TextArgument {
 public:
  explicit TextArgument(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_TEXT && !storedDate(v)) {
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
      if (const auto d = storedDate(v)) return base::toSerial(*d);
      return strictNumber(TextArgument(v).view());
    }
    default:
      return std::nullopt;
  }
}

namespace {

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

// Whether a comparison argument asks for bytes compared as they are (0, vbBinaryCompare) rather
// than letter case ignored (1, vbTextCompare; 2, the database's order, which ignores it too).
std::optional<bool> binaryCompare(sqlite3_value* v) {
  const auto n = accessNumber(v);
  if (!n || (*n != 0 && *n != 1 && *n != 2)) return std::nullopt;
  return *n == 0;
}

std::u32string charactersOf(std::string_view text, bool binary) {
  if (!binary) return foldedCharacters(text);
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) out += decode(text, i);
  return out;
}

void invalidArgument(sqlite3_context* ctx) {
  sqlite3_result_error(ctx, "Llamada a procedimiento o argumento no válido", -1);
}

// InStr([start,] text, sought[, compare]): the position of `sought` in `text` from `start`, letter
// case ignored unless `compare` is 0; 0 when it is not there, `start` for an empty `sought` within
// the text. `compare` needs `start` before it, as in Access.
void instrFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::size_t start = 1;
  if (argc >= 3) {
    if (!countArgument(ctx, argv[0], start)) return;
    if (start == 0) return invalidArgument(ctx);
  }
  bool binary = false;
  if (argc == 4) {
    const auto compare = binaryCompare(argv[3]);
    if (!compare) return invalidArgument(ctx);
    binary = *compare;
  }
  const int textAt = argc == 2 ? 0 : 1;
  const TextArgument textArgument(argv[textAt]), soughtArgument(argv[textAt + 1]);
  const std::u32string text = charactersOf(textArgument.view(), binary);
  const std::u32string sought = charactersOf(soughtArgument.view(), binary);
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

}  // namespace

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
// every other character comes after it, by its code. Indexes kept from run to run are in this
// order: a change to it changes kCollationVersion (emitter.h), so that they are made anew.
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

bool comparesAsBytes(std::string_view text) {
  return std::ranges::all_of(text, [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < '[' || (byte > 'z' && byte < 0x80);
  });
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

namespace {

// A time of day as CDate reads it: h:mm or h:mm:ss, on 24 hours or on 12 followed by the
// designator a Windows set to Spanish (Mexico) writes ("a. m.", "p. m."), or its English one.
std::optional<base::DateTime> timeOfDay(std::string_view text) {
  base::DateTime t;
  int used = 0;
  const std::string s(text);
  if (std::sscanf(s.c_str(), "%2d:%2d%n:%2d%n", &t.hour, &t.minute, &used, &t.second, &used) < 2)
    return std::nullopt;
  std::string designator;
  for (char c : s.substr(static_cast<std::size_t>(used)))
    if (c != ' ' && c != '.')
      designator += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59 || t.hour < 0)
    return std::nullopt;
  if (designator.empty()) return t.hour <= 23 ? std::optional(t) : std::nullopt;
  if ((designator != "am" && designator != "pm") || t.hour < 1 || t.hour > 12) return std::nullopt;
  t.hour = t.hour % 12 + (designator == "pm" ? 12 : 0);
  return t;
}

}  // namespace

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
    const auto time = timeOfDay(s.substr(dateEnd + 1));
    if (!time) return std::nullopt;
    d.hour = time->hour, d.minute = time->minute, d.second = time->second;
  }
  if (!base::isValidDate(d.year, d.month, d.day)) return std::nullopt;
  return base::formatCanonical(d);
}

namespace {

// Trim and its kind take away spaces only: a tab or a line break stays, as in Access.
void trimFunction(sqlite3_context* ctx, sqlite3_value* v, bool left, bool right) {
  if (sqlite3_value_type(v) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const TextArgument argument(v);
  std::string_view text = argument.view();
  while (left && !text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (right && !text.empty() && text.back() == ' ') text.remove_suffix(1);
  resultText(ctx, text);
}
void trimBothFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  trimFunction(ctx, argv[0], true, true);
}
void trimLeftFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  trimFunction(ctx, argv[0], true, false);
}
void trimRightFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  trimFunction(ctx, argv[0], false, true);
}

// Replace(text, sought, instead[, start[, count[, compare]]]): the text from `start` on, with
// `count` occurrences of `sought` (all for -1) found left to right, letter case ignored unless
// `compare` is 0, written as `instead`. An empty `sought` or a count of 0 leaves the text whole.
void replaceFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::size_t start = 1;
  if (argc >= 4 && (!countArgument(ctx, argv[3], start))) return;
  if (start == 0) return invalidArgument(ctx);
  std::int64_t count = -1;
  if (argc >= 5) {
    const auto n = roundedInRange(accessNumber(argv[4]), -1, 2147483647.0);
    if (!n) return invalidArgument(ctx);
    count = *n;
  }
  bool binary = false;
  if (argc == 6) {
    const auto compare = binaryCompare(argv[5]);
    if (!compare) return invalidArgument(ctx);
    binary = *compare;
  }
  const TextArgument textArgument(argv[0]), soughtArgument(argv[1]), insteadArgument(argv[2]);
  const std::string_view text = textArgument.view();
  const std::u32string sought = charactersOf(soughtArgument.view(), binary);
  if (sought.empty() || count == 0) return resultText(ctx, text);
  std::u32string original;
  for (std::size_t i = 0; i < text.size();) original += decode(text, i);
  if (start > original.size()) return resultText(ctx, "");
  const std::u32string compared = charactersOf(text, binary);
  std::string out;
  for (std::size_t i = start - 1; i < original.size();) {
    if (count != 0 && compared.compare(i, sought.size(), sought) == 0) {
      out += insteadArgument.view();
      i += sought.size();
      if (count > 0) --count;
    } else {
      encode(original[i++], out);
    }
  }
  resultText(ctx, out);
}

// StrComp(a, b[, compare]): -1, 0 or 1 as a sorts before, with or after b; letter case ignored
// unless `compare` is 0.
void strCompFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  bool binary = false;
  if (argc == 3) {
    const auto compare = binaryCompare(argv[2]);
    if (!compare) return invalidArgument(ctx);
    binary = *compare;
  }
  const TextArgument a(argv[0]), b(argv[1]);
  int order = 0;
  if (binary) {
    const std::u32string x = charactersOf(a.view(), true), y = charactersOf(b.view(), true);
    order = x < y ? -1 : x == y ? 0 : 1;
  } else {
    order = compareText(a.view(), b.view());
  }
  sqlite3_result_int(ctx, order < 0 ? -1 : order > 0 ? 1 : 0);
}

// A text that Access reads as a number: as CDbl reads it, or &H / &O digits.
bool numericText(std::string_view text) {
  if (strictNumber(text)) return true;
  std::size_t begin = 0, end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  const std::string_view s = text.substr(begin, end - begin);
  if (s.size() < 3 || s[0] != '&') return false;
  const bool hex = s[1] == 'H' || s[1] == 'h', octal = s[1] == 'O' || s[1] == 'o';
  if (!hex && !octal) return false;
  return std::all_of(s.begin() + 2, s.end(), [&](char c) {
    return hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0 : c >= '0' && c <= '7';
  });
}

// IsNumeric and IsDate give -1 (True) or 0, Null being neither a number nor a date; a date is no
// number, and a number is no date.
void isNumericFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  bool numeric = false;
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      numeric = true;
      break;
    case SQLITE_TEXT:
      numeric = !storedDate(argv[0]) && numericText(TextArgument(argv[0]).view());
      break;
    default:
      break;
  }
  sqlite3_result_int(ctx, numeric ? -1 : 0);
}

void isDateFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const bool date = sqlite3_value_type(argv[0]) == SQLITE_TEXT &&
                    (storedDate(argv[0]) || accessCDate(TextArgument(argv[0]).view()));
  sqlite3_result_int(ctx, date ? -1 : 0);
}

// Int, Fix, Abs, Sgn and Round read their argument as CDbl does; a text that is no number is
// Access's type mismatch, here Null.
void numberFunction(sqlite3_context* ctx, sqlite3_value* v, double (*operation)(double)) {
  const auto n = accessNumber(v);
  n ? resultNumber(ctx, operation(*n)) : sqlite3_result_null(ctx);
}
void intFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  numberFunction(ctx, argv[0], [](double n) { return std::floor(n); });
}
void fixFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  numberFunction(ctx, argv[0], [](double n) { return std::trunc(n); });
}
void absFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  numberFunction(ctx, argv[0], [](double n) { return std::fabs(n); });
}
void sgnFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  numberFunction(ctx, argv[0], [](double n) { return n > 0 ? 1.0 : n < 0 ? -1.0 : 0.0; });
}

// Round(n[, places]) rounds half to even at `places` decimals, as Access does: Round(2.5) is 2,
// Round(0.125, 2) is 0.12. A half is judged on the number as written in decimals, not on the
// nearest binary fraction (2.675 is stored a hair below 2.675, yet is a half).
void roundFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  const auto n = accessNumber(argv[0]);
  const auto places =
      argc == 2 ? roundedInRange(accessNumber(argv[1]), -1e9, 1e9) : std::optional<std::int64_t>(0);
  if (!n || !places) return sqlite3_result_null(ctx);
  if (*places < 0) return invalidArgument(ctx);
  if (*places > 15 || !std::isfinite(*n)) return resultNumber(ctx, *n);
  const double scale = std::pow(10.0, static_cast<double>(*places));
  const double scaled = *n * scale;
  const double below = std::floor(scaled);
  double rounded;
  if (std::fabs(scaled - below - 0.5) <= 1e-9 * std::max(1.0, std::fabs(scaled)))
    rounded = std::fmod(below, 2.0) == 0 ? below : below + 1;
  else
    rounded = std::nearbyint(scaled);
  resultNumber(ctx, rounded / scale);
}

// A value as a condition: true for a number other than 0, or a text that is one; false for 0,
// Null, and a text that is no number.
bool holds(sqlite3_value* v) {
  const auto n = accessNumber(v);
  return n && *n != 0;
}

// Switch(condition1, value1, ...): the value after the first condition that holds; Null when none
// does.
void switchFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i + 1 < argc; i += 2)
    if (holds(argv[i])) return sqlite3_result_value(ctx, argv[i + 1]);
  sqlite3_result_null(ctx);
}

// Choose(index, choice1, ...): the choice at `index`, rounded half to even; Null when there is
// none there.
void chooseFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const auto index = roundedInRange(accessNumber(argv[0]), -1e9, 1e9);
  if (!index || *index < 1 || *index >= argc) return sqlite3_result_null(ctx);
  sqlite3_result_value(ctx, argv[*index]);
}

std::string switchCheck(LiteralArguments arguments) {
  if (arguments.size() % 2 == 0) return {};
  return "La función 'Switch' lleva pares de condición y valor: tiene " +
         std::to_string(arguments.size()) +
         " argumentos. Escriba un valor después de cada condición.";
}

using enum FunctionFamily;

// clang-format off
constexpr AccessFunction kRows[] = {
  {"Len", "kolt_len", 1, 1, lenFunction, Text, ResultKind::Number,
   "Len(texto)", "Where Len(Trim(folio)) <> 8",
   "cuenta caracteres (ñ y acentos cuentan uno); una fecha cuenta los de `dd/mm/aaaa`"},
  {"Left", "kolt_left", 2, 2, leftFunction, Text, ResultKind::Text,
   "Left(texto, n)", "Where Left(afecprin, 1) = 'O'",
   "los n primeros caracteres; n negativo: error que detiene la regla"},
  {"Right", "kolt_right", 2, 2, rightFunction, Text, ResultKind::Text,
   "Right(texto, n)", "Where Right(egreso, 4) = '2024'",
   "los n últimos caracteres; de una fecha, los de `dd/mm/aaaa`"},
  {"Mid", "kolt_mid", 2, 3, midFunction, Text, ResultKind::Text,
   "Mid(texto, inicio[, n])", "Mid(afecprin, 2, 2)",
   "`inicio` cuenta desde 1; sin n, hasta el final; `inicio` 0: error que detiene la regla"},
  {"InStr", "kolt_instr", 2, 4, instrFunction, Text, ResultKind::Number,
   "InStr([inicio,] texto, buscado[, comparación])", "Where InStr(afecprin, 'X') > 0",
   "posición desde 1, sin distinguir mayúsculas (con `comparación` 0 las distingue; la lleva solo "
   "si lleva `inicio`); 0 si no está; `inicio` mayor que el largo: 0"},
  {"UCase", "kolt_ucase", 1, 1, ucaseFunction, Text, ResultKind::Text,
   "UCase(texto)", "UCase(clues)", "mayúsculas, también ñ y vocales acentuadas"},
  {"LCase", "kolt_lcase", 1, 1, lcaseFunction, Text, ResultKind::Text,
   "LCase(texto)", "LCase(clues)", "minúsculas, también Ñ y vocales acentuadas"},
  {"Trim", "kolt_trim", 1, 1, trimBothFunction, Text, ResultKind::Text,
   "Trim(texto)", "Where Trim(afecprin) = ''", "quita los espacios de ambos lados (no tabuladores)"},
  {"LTrim", "kolt_ltrim", 1, 1, trimLeftFunction, Text, ResultKind::Text,
   "LTrim(texto)", "LTrim(folio)", "quita los espacios del lado izquierdo"},
  {"RTrim", "kolt_rtrim", 1, 1, trimRightFunction, Text, ResultKind::Text,
   "RTrim(texto)", "RTrim(folio)", "quita los espacios del lado derecho"},
  {"Replace", "kolt_replace", 3, 6, replaceFunction, Text, ResultKind::Text,
   "Replace(texto, buscado, nuevo[, inicio[, cuántos[, comparación]]])",
   "Replace(folio, '-', '')",
   "cambia cada `buscado` (o los `cuántos` primeros; -1: todos) por `nuevo`, sin distinguir "
   "mayúsculas salvo con `comparación` 0; da el texto desde `inicio`; `buscado` vacío: el texto "
   "igual; `inicio` mayor que el largo: `''`"},
  {"StrComp", "kolt_strcomp", 2, 3, strCompFunction, Text, ResultKind::Number,
   "StrComp(texto1, texto2[, comparación])", "Where StrComp(clues, clues_ant) <> 0",
   "-1, 0 o 1 según texto1 va antes, es igual o va después; sin distinguir mayúsculas salvo con "
   "`comparación` 0"},
  {"Left$", "kolt_left", 2, 2, leftFunction, Text, ResultKind::Text,
   "Left$(texto, n)", "Left$(afecprin, 3)", "como `Left`"},
  {"Right$", "kolt_right", 2, 2, rightFunction, Text, ResultKind::Text,
   "Right$(texto, n)", "Right$(folio, 2)", "como `Right`"},
  {"Mid$", "kolt_mid", 2, 3, midFunction, Text, ResultKind::Text,
   "Mid$(texto, inicio[, n])", "Mid$(afecprin, 2, 2)", "como `Mid`"},
  {"UCase$", "kolt_ucase", 1, 1, ucaseFunction, Text, ResultKind::Text,
   "UCase$(texto)", "UCase$(clues)", "como `UCase`"},
  {"LCase$", "kolt_lcase", 1, 1, lcaseFunction, Text, ResultKind::Text,
   "LCase$(texto)", "LCase$(clues)", "como `LCase`"},
  {"Trim$", "kolt_trim", 1, 1, trimBothFunction, Text, ResultKind::Text,
   "Trim$(texto)", "Trim$(folio)", "como `Trim`"},
  {"LTrim$", "kolt_ltrim", 1, 1, trimLeftFunction, Text, ResultKind::Text,
   "LTrim$(texto)", "LTrim$(folio)", "como `LTrim`"},
  {"RTrim$", "kolt_rtrim", 1, 1, trimRightFunction, Text, ResultKind::Text,
   "RTrim$(texto)", "RTrim$(folio)", "como `RTrim`"},
  {"Int", "kolt_int", 1, 1, intFunction, Number, ResultKind::Number,
   "Int(número)", "Where Int(edad / 5) = 3",
   "el entero igual o menor: `Int(-8.4)` es -9"},
  {"Fix", "kolt_fix", 1, 1, fixFunction, Number, ResultKind::Number,
   "Fix(número)", "Where Fix(peso / 1000) > 4",
   "quita los decimales: `Fix(-8.4)` es -8"},
  {"Abs", "kolt_abs", 1, 1, absFunction, Number, ResultKind::Number,
   "Abs(número)", "Where Abs(edad - edad_ant) > 1", "el valor sin signo"},
  {"Sgn", "kolt_sgn", 1, 1, sgnFunction, Number, ResultKind::Number,
   "Sgn(número)", "Where Sgn(dias_esta) = -1", "-1, 0 o 1 según el signo"},
  {"Round", "kolt_round", 1, 2, roundFunction, Number, ResultKind::Number,
   "Round(número[, decimales])", "Where Round(peso / 1000, 1) > 4.5",
   "redondeo a par: `Round(2.5)` es 2, `Round(3.5)` es 4, `Round(0.125, 2)` es 0.12; decimales "
   "negativos: error que detiene la regla"},
  {"Val", "kolt_val", 1, 1, valFunction, Conversion, ResultKind::Number,
   "Val(texto)", "Where Val(gestac) > 42",
   "lee el número del principio (`Val('12abc')` es 12, `Val('abc')` es 0)"},
  {"CInt", "kolt_cint", 1, 1, cintFunction, Conversion, ResultKind::Number,
   "CInt(valor)", "Where CInt(gestac) < 20",
   "redondeo a par (`CInt(2.5)` es 2, `CInt(3.5)` es 4); texto no numérico o fuera de -32768 a "
   "32767: nulo"},
  {"CLng", "kolt_clng", 1, 1, clngFunction, Conversion, ResultKind::Number,
   "CLng(valor)", "Where CLng(folio) > 1000",
   "como `CInt`, de -2147483648 a 2147483647; una fecha da su número de serie"},
  {"CDbl", "kolt_cdbl", 1, 1, cdblFunction, Conversion, ResultKind::Number,
   "CDbl(valor)", "CDbl(pesoprod) / 1000",
   "texto no numérico: nulo; una fecha da su número de serie"},
  {"CStr", "kolt_cstr", 1, 1, cstrFunction, Conversion, ResultKind::Text,
   "CStr(valor)", "CStr(edad) & ' años'",
   "un número como Access lo escribe (`0.1 + 0.2` es `'0.3'`); una fecha como `dd/mm/aaaa`, con "
   "la hora solo si la tiene"},
  {"CDate", "kolt_cdate", 1, 1, cdateFunction, Conversion, ResultKind::Date,
   "CDate(valor)", "Where CDate(fecha_texto) >= #01/01/2024#",
   "lee `aaaa-mm-dd`, `dd/mm/aaaa` (día primero), con la hora `hh:mm[:ss]` de 24 horas o con "
   "`a. m.`/`p. m.`, y números de serie; lo demás: nulo"},
  {"IsNumeric", "kolt_isnumeric", 1, 1, isNumericFunction, Conversion, ResultKind::Truth,
   "IsNumeric(valor)", "Where Not IsNumeric(gestac)",
   "-1 si es un número o un texto que se lee como número (`' 12 '`, `'1.5E3'`, `'&H1F'`), 0 si "
   "no; nulo, `''` y una fecha dan 0"},
  {"IsDate", "kolt_isdate", 1, 1, isDateFunction, Conversion, ResultKind::Truth,
   "IsDate(valor)", "Where Not IsDate(fecha_texto)",
   "-1 si es una fecha o un texto que `CDate` lee, 0 si no; nulo y números dan 0"},
  {"Nz", "kolt_nz", 1, 2, nzFunction, Condition, ResultKind::Unknown,
   "Nz(valor[, otro])", "Where Nz(afecprin) = ''",
   "nulo: `''` (o `otro`); `Nz('')` es `''`"},
  {"IsNull", "kolt_isnull", 1, 1, isNullFunction, Condition, ResultKind::Truth,
   "IsNull(valor)", "Where IsNull(causaext)", "-1 (verdadero) si es nulo, 0 si no"},
  {"Switch", "kolt_switch", 2, 126, switchFunction, Condition, ResultKind::Unknown,
   "Switch(condición1, valor1, ...)", "Switch(edad < 18, 'menor', edad < 65, 'adulto', True, 'mayor')",
   "el valor de la primera condición verdadera; si ninguna lo es, nulo; una condición nula no "
   "cumple", switchCheck},
  {"Choose", "kolt_choose", 2, 127, chooseFunction, Condition, ResultKind::Unknown,
   "Choose(índice, valor1, ...)", "Choose(sexo, 'hombre', 'mujer')",
   "el valor en la posición `índice` (redondeado a par); fuera de la lista o nulo: nulo"},
};
// clang-format on

}  // namespace

std::span<const AccessFunction> textAndNumberFunctions() {
  return kRows;
}

std::string accessDateText(const base::DateTime& date) {
  char buffer[48];
  const bool dayZero = date.year == 1899 && date.month == 12 && date.day == 30;
  const bool hasTime = date.hour != 0 || date.minute != 0 || date.second != 0;
  std::string out;
  if (!dayZero) {
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", date.day, date.month, date.year);
    out = buffer;
  }
  if (hasTime || dayZero) {
    const int hour = date.hour % 12 == 0 ? 12 : date.hour % 12;
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d %s", hour, date.minute, date.second,
                  date.hour < 12 ? "a. m." : "p. m.");
    out += (out.empty() ? "" : " ") + std::string(buffer);
  }
  return out;
}

std::optional<base::DateTime> storedDate(sqlite3_value* v) {
  if (sqlite3_value_type(v) != SQLITE_TEXT) return std::nullopt;
  // Every stored date has one of two lengths; most texts are turned away on that alone.
  const int size = sqlite3_value_bytes(v);
  if (size != 19 && size != 27) return std::nullopt;
  return base::parseCanonical(std::string_view(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                               static_cast<std::size_t>(size)));
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

  const std::tm now = platform::localTime(std::time(nullptr));
  base::DateTime start;
  start.year = now.tm_year + 1900, start.month = now.tm_mon + 1, start.day = now.tm_mday;
  start.hour = now.tm_hour, start.minute = now.tm_min, start.second = std::min(now.tm_sec, 59);
  setRunStart(db, start);
}

// Date() and Now() read the moment from the registration, each holding its own copy.
void setRunStart(sqlite3* db, const base::DateTime& start) {
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  for (std::string_view name : {"Date", "Now"}) {
    const AccessFunction* f = findAccessFunction(name);
    const std::string engine(f->engine);
    sqlite3_create_function_v2(db, engine.c_str(), 0, flags, new base::DateTime(start),
                               f->implementation, nullptr, nullptr,
                               [](void* p) { delete static_cast<base::DateTime*>(p); });
  }
}

}  // namespace kolt::engine::dialect
