#include "engine/dialect/date_literal.h"

#include <array>
#include <cctype>
#include <vector>

#include "base/date_text.h"

namespace kolt::engine::dialect {
namespace {

// The month names a literal may carry, as the engine reads them on every machine.
constexpr std::array<std::string_view, 12> kMonths = {
    "january", "february", "march",     "april",   "may",      "june",
    "july",    "august",   "september", "october", "november", "december"};

struct Piece {
  enum class Kind { Number, Word, Colon, Separator };
  Kind kind;
  std::string text;  // a Number's digits or a Word's letters in lower case; a Separator's sign
};

std::optional<std::vector<Piece>> split(std::string_view text) {
  std::vector<Piece> pieces;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t start = i;
    if (std::isdigit(c)) {
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      pieces.push_back({Piece::Kind::Number, std::string(text.substr(start, i - start))});
    } else if (std::isalpha(c)) {
      std::string word;
      for (; i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])); ++i)
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
      pieces.push_back({Piece::Kind::Word, std::move(word)});
    } else if (c == ':') {
      pieces.push_back({Piece::Kind::Colon, ":"});
      ++i;
    } else if (c == '/' || c == '-' || c == ',' || c == '.' || c == ' ') {
      if (c != ' ')
        pieces.push_back({Piece::Kind::Separator, std::string(1, static_cast<char>(c))});
      ++i;
    } else {
      return std::nullopt;
    }
  }
  return pieces;
}

// The month a word names, 1 to 12, or 0.
int monthOf(const std::string& word) {
  for (std::size_t m = 0; m < kMonths.size(); ++m)
    if (word == kMonths[m] || (word.size() == 3 && kMonths[m].starts_with(word)))
      return static_cast<int>(m) + 1;
  return 0;
}

int numberOf(const Piece& p) {
  return p.text.size() > 5 ? 99999 : std::stoi(p.text);
}

// A year as written: two digits (or one) in the window Windows reads them in.
int yearOf(const Piece& p) {
  const int y = numberOf(p);
  if (p.text.size() > 2) return y;
  return y < 30 ? 2000 + y : 1900 + y;
}

bool isNumber(const std::vector<Piece>& pieces, std::size_t i) {
  return i < pieces.size() && pieces[i].kind == Piece::Kind::Number;
}

// Takes the time out of `pieces` into `d`: h:mm[:ss] [AM|PM], or h AM|PM. False for a time that
// is no time of day.
bool takeTime(std::vector<Piece>& pieces, base::DateTime& d) {
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const bool colon = i + 2 < pieces.size() && pieces[i + 1].kind == Piece::Kind::Colon;
    const bool meridian = i + 1 < pieces.size() && pieces[i + 1].kind == Piece::Kind::Word &&
                          (pieces[i + 1].text == "am" || pieces[i + 1].text == "pm");
    if (!isNumber(pieces, i) || (!colon && !meridian)) continue;
    std::size_t end = i + 1;
    int parts[3] = {numberOf(pieces[i]), 0, 0};
    for (int k = 1; k < 3 && end + 1 < pieces.size() && pieces[end].kind == Piece::Kind::Colon;
         ++k) {
      if (!isNumber(pieces, end + 1)) return false;
      parts[k] = numberOf(pieces[end + 1]);
      end += 2;
    }
    if (end < pieces.size() && pieces[end].kind == Piece::Kind::Word &&
        (pieces[end].text == "am" || pieces[end].text == "pm")) {
      if (parts[0] < 1 || parts[0] > 12) return false;
      parts[0] = parts[0] % 12 + (pieces[end].text == "pm" ? 12 : 0);
      ++end;
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
    d.hour = parts[0], d.minute = parts[1], d.second = parts[2];
    pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(i),
                 pieces.begin() + static_cast<std::ptrdiff_t>(end));
    for (const Piece& p : pieces)
      if (p.kind == Piece::Kind::Colon) return false;  // a second time
    return true;
  }
  for (const Piece& p : pieces)
    if (p.kind == Piece::Kind::Colon) return false;
  return true;
}

// The date of the pieces left once the time is out; false for none.
bool takeDate(const std::vector<Piece>& pieces, base::DateTime& d) {
  std::vector<const Piece*> numbers;
  std::vector<char> separators;
  int month = 0;
  bool monthFirst = false;
  for (const Piece& p : pieces) {
    switch (p.kind) {
      case Piece::Kind::Number:
        numbers.push_back(&p);
        break;
      case Piece::Kind::Word:
        if (month != 0 || (month = monthOf(p.text)) == 0) return false;
        monthFirst = numbers.empty();
        break;
      case Piece::Kind::Separator:
        separators.push_back(p.text[0]);
        break;
      case Piece::Kind::Colon:
        return false;
    }
  }
  if (numbers.empty() && month == 0) return true;  // a time alone, on day zero
  if (month != 0) {
    // The day is the number nearer the start, unless it has the four digits of a year.
    if (numbers.size() == 1 && numbers[0]->text.size() >= 3) {
      d = {yearOf(*numbers[0]), month, 1, d.hour, d.minute, d.second};
    } else if (numbers.size() == 2) {
      const bool yearFirst = numbers[0]->text.size() >= 3 && !monthFirst;
      const Piece& day = yearFirst ? *numbers[1] : *numbers[0];
      const Piece& year = yearFirst ? *numbers[0] : *numbers[1];
      if (day.text.size() > 2) return false;
      d = {yearOf(year), month, numberOf(day), d.hour, d.minute, d.second};
    } else {
      return false;
    }
  } else {
    if (numbers.size() != 3 || separators.size() != 2 || separators[0] != separators[1] ||
        (separators[0] != '/' && separators[0] != '-'))
      return false;
    if (numbers[0]->text.size() == 4) {
      d = {numberOf(*numbers[0]),
           numberOf(*numbers[1]),
           numberOf(*numbers[2]),
           d.hour,
           d.minute,
           d.second};
      if (numbers[2]->text.size() > 2) return false;
    } else {
      if (numbers[0]->text.size() > 2 || numbers[1]->text.size() > 2) return false;
      d = {yearOf(*numbers[2]),
           numberOf(*numbers[0]),
           numberOf(*numbers[1]),
           d.hour,
           d.minute,
           d.second};
    }
  }
  return d.year >= 100 && base::isValidDate(d.year, d.month, d.day);
}

}  // namespace

std::optional<std::string> readDateLiteral(std::string_view text) {
  auto pieces = split(text);
  if (!pieces || pieces->empty()) return std::nullopt;
  base::DateTime d;
  if (!takeTime(*pieces, d) || !takeDate(*pieces, d)) return std::nullopt;
  return base::formatCanonical(d);
}

}  // namespace kolt::engine::dialect
