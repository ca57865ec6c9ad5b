#include "results/finding.h"

#include <cmath>
#include <cstdio>

#include "base/date_text.h"

namespace kolt::results {
namespace {

bool sameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string dayText(const base::DateTime& d) {
  char text[40];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", d.day, d.month, d.year);
  std::string out = text;
  if (d.hour != 0 || d.minute != 0 || d.second != 0) {
    std::snprintf(text, sizeof text, " %02d:%02d:%02d", d.hour, d.minute, d.second);
    out += text;
  }
  return out;
}

}  // namespace

std::string findingText(const base::Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    if (const auto date = base::parseCanonical(*text)) return dayText(*date);
    return *text;
  }
  if (const auto* whole = std::get_if<std::int64_t>(&value)) return std::to_string(*whole);
  if (const auto* real = std::get_if<double>(&value)) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", *real);
    return text;
  }
  if (const auto* blob = std::get_if<base::Blob>(&value))
    return "(" + std::to_string(blob->bytes.size()) + " bytes)";
  return "";
}

std::string stampText(std::string_view stamp, bool withTime) {
  if (stamp.size() < 16 || stamp[4] != '-' || stamp[7] != '-' || stamp[10] != ' ')
    return std::string(stamp);
  std::string text = std::string(stamp.substr(8, 2)) + "/" + std::string(stamp.substr(5, 2)) + "/" +
                     std::string(stamp.substr(0, 4));
  if (withTime) text += " " + std::string(stamp.substr(11, 5));
  return text;
}

FindingReader::FindingReader(int rule, const std::vector<engine::ExportColumn>& columns)
    : rule_(rule) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    names_.push_back(columns[i].name);
    if (folio_ < 0 && sameLetters(columns[i].name, "folio")) folio_ = static_cast<int>(i);
    if (discharge_ < 0 && sameLetters(columns[i].name, "egreso")) discharge_ = static_cast<int>(i);
  }
}

Finding FindingReader::operator()(const std::vector<base::Value>& row) const {
  Finding finding;
  finding.rule = rule_;
  for (std::size_t i = 0; i < row.size() && i < names_.size(); ++i)
    finding.row += (i == 0 ? "" : " | ") + names_[i] + "=" + findingText(row[i]);
  // A row without its folio is known by all of it, never merged with the others that lack one.
  const bool hasFolio = folio_ >= 0 && static_cast<std::size_t>(folio_) < row.size() &&
                        !base::isNull(row[static_cast<std::size_t>(folio_)]);
  finding.record = hasFolio ? findingText(row[static_cast<std::size_t>(folio_)]) : finding.row;
  if (discharge_ >= 0 && static_cast<std::size_t>(discharge_) < row.size())
    finding.dischargeDate = findingText(row[static_cast<std::size_t>(discharge_)]);
  return finding;
}

}  // namespace kolt::results
