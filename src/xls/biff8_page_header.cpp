#include "xls/biff8_page_header.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "base/utf8.h"
#include "xls/biff8_text.h"

namespace kolt::xls::biff8 {
namespace {

constexpr char16_t kEllipsis = u'\u2026';
constexpr std::size_t kPartCodeSize = 2;  // "&L", "&C", "&R"

std::u16string escaped(const std::string& text) {
  std::u16string out;
  for (char16_t c : base::utf16FromUtf8(text)) {
    out.push_back(c);
    if (c == u'&') out.push_back(u'&');
  }
  return out;
}

// `text` (escaped) cut to at most `most` characters, the last of them "…". Neither a surrogate pair
// nor an escaped "&&" is split, which could leave a character or a code that was never written.
std::u16string shortened(const std::u16string& text, std::size_t most) {
  std::u16string cut(cutUtf16(text, most - 1));
  const auto ampersands = static_cast<std::size_t>(
      std::find_if(cut.rbegin(), cut.rend(), [](char16_t c) { return c != u'&'; }) - cut.rbegin());
  if (ampersands % 2 == 1) cut.pop_back();
  cut.push_back(kEllipsis);
  return cut;
}

}  // namespace

std::u16string pageHeaderString(const PageHeader& header) {
  std::array<std::u16string, 3> parts = {escaped(header.left), escaped(header.center),
                                         escaped(header.right)};
  constexpr std::array<std::u16string_view, 3> kCodes = {u"&L", u"&C", u"&R"};
  const std::size_t codes =
      kPartCodeSize * static_cast<std::size_t>(std::count_if(
                          parts.begin(), parts.end(), [](const auto& p) { return !p.empty(); }));
  const auto lengthWithin = [&](std::size_t most) {
    return std::accumulate(parts.begin(), parts.end(), codes, [&](std::size_t sum, const auto& p) {
      return sum + std::min(p.size(), most);
    });
  };
  // The longest parts give way first: the cut is the longest length at which every part fits.
  std::size_t most = std::max({parts[0].size(), parts[1].size(), parts[2].size()});
  while (lengthWithin(most) > kMaxPageHeader) --most;
  std::u16string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (parts[i].empty()) continue;
    out += kCodes[i];
    out += parts[i].size() > most ? shortened(parts[i], most) : parts[i];
  }
  return out;
}

Bytes pageHeaderRecords(std::u16string_view text) {
  if (text.empty()) return {};
  StreamWriter out;
  // LibreOffice reads a sheet twice, and its second reading, the one that takes the page header,
  // begins one record past the BOF: a HEADER right after the BOF would be lost. PRINTHEADERS, which
  // comes before HEADER where Excel writes them, holds that place with the value a sheet has
  // without it (row and column headings not printed).
  out.begin(kPrintHeaders);
  out.u16(0);
  out.end();
  const bool oneByte = fitsOneByte(text);
  out.begin(kHeader);
  out.u16(static_cast<std::uint16_t>(text.size()));
  out.u8(oneByte ? 0 : 1);
  out.chars(text, oneByte);
  out.end();
  return out.take();
}

std::size_t skipPageHeader(RecordCursor& cursor) {
  RecordCursor ahead = cursor;
  const Record first = ahead.next();
  if (first.type != kPrintHeaders) return 0;
  const Record header = ahead.next();
  if (first.data.size() != 2 || first.data[0] != 0 || first.data[1] != 0 || header.type != kHeader)
    throw MalformedWorkbook("el encabezado de página de una hoja está dañado");
  FieldReader in(header.data);
  const std::uint16_t length = in.u16();
  const std::uint8_t flags = in.u8();
  if (length == 0 || length > kMaxPageHeader || flags > 1)
    throw MalformedWorkbook("el encabezado de página de una hoja está dañado");
  in.take(flags ? 2u * length : length);
  if (!in.atEnd()) throw MalformedWorkbook("el encabezado de página de una hoja está dañado");
  const std::size_t size = ahead.position() - cursor.position();
  cursor = ahead;
  return size;
}

}  // namespace kolt::xls::biff8
