#include "xls/biff8_globals.h"

#include <algorithm>
#include <string_view>

namespace kolt::xls::biff8 {
namespace {

constexpr std::uint16_t kBiff8Version = 0x0600;
constexpr std::uint16_t kGlobalsSubstream = 0x0005;
constexpr std::uint16_t kWorksheetSubstream = 0x0010;
constexpr std::uint16_t kUtf16CodePage = 1200;

constexpr std::uint16_t kFormatDate = 164;  // first index free for custom number formats
constexpr std::uint16_t kFormatDateTime = 165;

// Font 4 does not exist in BIFF: the fifth FONT record is font 5.
constexpr std::uint16_t kFontBold = 5;

void writeBof(StreamWriter& out, std::uint16_t substream) {
  out.begin(kBof);
  out.u16(kBiff8Version);
  out.u16(substream);
  out.u16(0x0DBB);  // build and year of the writing application, as Excel 97 writes them
  out.u16(0x07CC);
  out.u32(0);
  out.u32(kBiff8Version >> 8);  // lowest BIFF version that can read the file
  out.end();
}

void writeFont(StreamWriter& out, bool bold) {
  constexpr std::u16string_view kName = u"Arial";
  out.begin(kFont);
  out.u16(200);     // height in twentieths of a point: 10 pt
  out.u16(0);       // not italic, struck out, outlined or shadowed
  out.u16(0x7FFF);  // automatic colour
  out.u16(bold ? 700 : 400);
  out.u16(0);  // neither superscript nor subscript
  out.u8(0);   // not underlined
  out.u8(0);   // font family: any
  out.u8(0);   // character set: ANSI
  out.u8(0);
  out.u8(static_cast<std::uint8_t>(kName.size()));
  out.u8(0);
  out.chars(kName, true);
  out.end();
}

void writeFormat(StreamWriter& out, std::uint16_t index, std::u16string_view code) {
  out.begin(kFormat);
  out.u16(index);
  out.u16(static_cast<std::uint16_t>(code.size()));
  out.u8(0);
  out.chars(code, true);
  out.end();
}

enum class XfKind { Style, Cell };

// `usedAttributes`: in a cell XF, the attribute groups it sets itself (0x04 number format, 0x08
// font); in a style XF, the groups it leaves alone.
void writeXf(StreamWriter& out, XfKind kind, std::uint16_t font, std::uint16_t format,
             std::uint8_t usedAttributes) {
  out.begin(kXf);
  out.u16(font);
  out.u16(format);
  // Locked; a style XF has no parent (0xFFF), a cell XF inherits from style 0.
  out.u16(kind == XfKind::Style ? 0xFFF5 : 0x0001);
  out.u8(0x20);  // aligned at the bottom, horizontal alignment general
  out.u8(0);     // no rotation
  out.u8(0);     // no indent
  out.u8(usedAttributes);
  out.u16(0);  // no borders
  out.u16(0);
  out.u32(0);
  out.u16(0x20C0);  // pattern colours: system foreground and background
  out.end();
}

}  // namespace

void writeWorkbookBof(StreamWriter& out) {
  writeBof(out, kGlobalsSubstream);
}
void writeWorksheetBof(StreamWriter& out) {
  writeBof(out, kWorksheetSubstream);
}

namespace {

// `activeAt`, when given, receives the position of the active sheet's field.
void writePrefix(StreamWriter& out, std::uint16_t activeSheet, std::size_t* activeAt) {
  writeWorkbookBof(out);

  // Every string of the workbook is stored as UTF-16 or Latin-1 with an explicit flag, so the
  // code page only tells readers not to reinterpret anything.
  out.begin(kCodePage);
  out.u16(kUtf16CodePage);
  out.end();

  out.begin(kWindow1);
  out.u16(0x01E0);  // window position and size in twips
  out.u16(0x005A);
  out.u16(0x3FCF);
  out.u16(0x2A4E);
  out.u16(0x0038);  // horizontal scroll bar, vertical scroll bar, sheet tabs
  if (activeAt != nullptr) *activeAt = out.size();
  out.u16(activeSheet);
  // The tab bar begins at the active sheet's tab, so that its tab is in sight however many sheets
  // come before it (how many tabs the bar holds is not known here); those are a scroll away.
  out.u16(activeSheet);
  out.u16(1);       // one sheet selected
  out.u16(0x0258);  // tab bar width: 60% of the window
  out.end();

  // Date serials count from 1899-12-30 (the 1900 date system), as base::toSerial does.
  out.begin(kDateMode);
  out.u16(0);
  out.end();

  for (int i = 0; i < 4; ++i) writeFont(out, false);
  writeFont(out, true);

  writeFormat(out, kFormatDate, u"dd/mm/yyyy");
  writeFormat(out, kFormatDateTime, u"dd/mm/yyyy hh:mm:ss");

  // The 15 style XFs Excel expects, laid out as Excel itself writes them.
  writeXf(out, XfKind::Style, 0, 0, 0x00);
  writeXf(out, XfKind::Style, 1, 0, 0xF4);
  writeXf(out, XfKind::Style, 1, 0, 0xF4);
  writeXf(out, XfKind::Style, 2, 0, 0xF4);
  writeXf(out, XfKind::Style, 2, 0, 0xF4);
  for (int i = 5; i < 15; ++i) writeXf(out, XfKind::Style, 0, 0, 0xF4);

  static_assert(kXfGeneral == 15 && kXfDate == 16 && kXfDateTime == 17 && kXfHeader == 18 &&
                kXfCount == 19);
  writeXf(out, XfKind::Cell, 0, 0, 0x00);
  writeXf(out, XfKind::Cell, 0, kFormatDate, 0x04);
  writeXf(out, XfKind::Cell, 0, kFormatDateTime, 0x04);
  writeXf(out, XfKind::Cell, kFontBold, 0, 0x08);

  out.begin(kStyle);
  out.u16(0x8000);  // built-in style on XF 0
  out.u8(0);        // "Normal"
  out.u8(0xFF);
  out.end();
}

}  // namespace

void writeGlobalsPrefix(StreamWriter& out, std::uint16_t activeSheet) {
  writePrefix(out, activeSheet, nullptr);
}

std::optional<GlobalsPrefix> readGlobalsPrefix(ByteView stream) {
  StreamWriter first;
  std::size_t activeAt = 0;
  writePrefix(first, 0, &activeAt);
  if (stream.size() < first.size()) return std::nullopt;
  GlobalsPrefix prefix;
  prefix.activeSheet = static_cast<std::uint16_t>(stream[activeAt] | stream[activeAt + 1] << 8);
  prefix.end = first.size();
  StreamWriter expected;
  writeGlobalsPrefix(expected, prefix.activeSheet);
  if (!std::equal(expected.bytes().begin(), expected.bytes().end(), stream.begin()))
    return std::nullopt;
  return prefix;
}

}  // namespace kolt::xls::biff8
