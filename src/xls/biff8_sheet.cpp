#include "xls/biff8_sheet.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <variant>

#include "base/date_text.h"
#include "base/utf8.h"
#include "xls/biff8_column_width.h"
#include "xls/biff8_globals.h"
#include "xls/biff8_page_header.h"
#include "xls/biff8_text.h"

namespace kolt::xls::biff8 {
namespace {

constexpr std::size_t kMaxRows = kRowsPerSheet + 1;

// Whole numbers from 10^15 on lose digits in Excel, which keeps 15 significant digits; such a
// value (a long identifier, most likely) is written as text so that every digit survives.
constexpr std::int64_t kLargestExactInteger = 999'999'999'999'999;

// An RK cell holds a whole number of 30 bits in the four bytes NUMBER spends eight on.
constexpr std::int64_t kRkMin = -(std::int64_t{1} << 29);
constexpr std::int64_t kRkMax = (std::int64_t{1} << 29) - 1;

// Column widths, in dots of a screen (biff8_column_width.h): enough for the widest value seen.
// A number or a date is drawn in digits, a '0' wide each.
constexpr std::uint32_t kNumberDots = 12 * kDigitDots;
constexpr std::uint32_t kDateDots = 10 * kDigitDots;
constexpr std::uint32_t kDateTimeDots = 19 * kDigitDots;

constexpr std::uint16_t kWindow2ActiveSheet = 0x06B6;  // grid, headers, zeros, selected, shown
constexpr std::uint16_t kWindow2OtherSheet = 0x00B6;   // grid, headers, zeros
constexpr std::size_t kWindow2Size = kRecordHeaderSize + 18;

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};

class SheetWriter {
 public:
  SheetWriter(const std::vector<SheetColumn>& columns, SharedStrings& strings)
      : columns_(columns), strings_(strings), widths_(columns.size(), 0) {}

  void header() {
    for (std::size_t c = 0; c < columns_.size(); ++c)
      text(0, c, base::utf16FromUtf8(columns_[c].name), kXfHeader, FontWeight::Bold);
  }

  void row(std::uint16_t r, const Row& values) {
    for (std::size_t c = 0; c < columns_.size(); ++c) value(r, c, columns_[c].kind, values[c]);
    // A row whose values are all NULL would leave no cell, and a reader would not see it at all,
    // least of all at the end of the sheet: a finding counted in the summaries would be missing
    // from its sheet. Its first cell gets an empty text, which every reader counts as a row and
    // none shows.
    if (!columns_.empty() && std::all_of(values.begin(), values.end(), [](const base::Value& v) {
          return std::holds_alternative<std::monostate>(v);
        }))
      text(r, 0, u"", kXfGeneral);
  }

  const std::vector<std::uint32_t>& widths() const { return widths_; }
  ByteView cells() const { return out_.bytes(); }

 private:
  void value(std::uint16_t r, std::size_t c, ColumnKind kind, const base::Value& v) {
    std::visit(
        Overloaded{
            [](std::monostate) {},
            [&](std::int64_t i) {
              if (kind == ColumnKind::Boolean) return boolean(r, c, i != 0);
              if (i < -kLargestExactInteger || i > kLargestExactInteger)
                return text(r, c, base::utf16FromUtf8(std::to_string(i)), kXfGeneral);
              integer(r, c, i);
            },
            [&](double d) {
              // Excel has no infinity; NaN cannot come from the engine but is kept apart.
              if (std::isnan(d)) return text(r, c, u"NaN", kXfGeneral);
              if (std::isinf(d)) return text(r, c, d > 0 ? u"Infinito" : u"-Infinito", kXfGeneral);
              number(r, c, d, kXfGeneral, kNumberDots);
            },
            [&](const std::string& s) {
              if (kind == ColumnKind::Date && date(r, c, s)) return;
              text(r, c, base::utf16FromUtf8(s), kXfGeneral);
            },
            [&](const base::Blob& b) {
              text(r, c,
                   base::utf16FromUtf8("(binario, " + std::to_string(b.bytes.size()) + " bytes)"),
                   kXfGeneral);
            },
        },
        v);
  }

  // Writes a canonical date text that Excel can show as a date; false leaves it to be written as
  // text. Excel's day numbers agree with the engine's only from 1900-03-01 on (Excel counts a
  // 29 February 1900 that never was), and Excel shows no date before 1900.
  bool date(std::uint16_t r, std::size_t c, const std::string& s) {
    const std::optional<base::DateTime> parsed = base::parseCanonical(s);
    if (!parsed) return false;
    if (std::tie(parsed->year, parsed->month, parsed->day) < std::make_tuple(1900, 3, 1))
      return false;
    const bool midnight = parsed->hour == 0 && parsed->minute == 0 && parsed->second == 0 &&
                          parsed->fraction100ns == 0;
    number(r, c, base::toSerial(*parsed), midnight ? kXfDate : kXfDateTime,
           midnight ? kDateDots : kDateTimeDots);
    return true;
  }

  void cellHeader(std::uint16_t type, std::uint16_t r, std::size_t c, std::uint16_t xf) {
    out_.begin(type);
    out_.u16(r);
    out_.u16(static_cast<std::uint16_t>(c));
    out_.u16(xf);
  }

  void text(std::uint16_t r, std::size_t c, std::u16string_view s, std::uint16_t xf,
            FontWeight weight = FontWeight::Regular) {
    const std::uint32_t index = strings_.add(s);
    cellHeader(kLabelSst, r, c, xf);
    out_.u32(index);
    out_.end();
    // Measured only when it may be the widest yet, and never past the widest column there is:
    // most rows of a long sheet cost nothing here.
    const std::size_t most = 60 * kDigitDots / 2 + 1;
    const std::u16string_view measured = s.substr(0, std::min(s.size(), most));
    if (measured.size() * kWidestCharacterDots > widths_[c]) widen(c, textDots(measured, weight));
  }

  void number(std::uint16_t r, std::size_t c, double d, std::uint16_t xf, std::uint32_t width) {
    cellHeader(kNumber, r, c, xf);
    out_.f64(d);
    out_.end();
    widen(c, width);
  }

  void integer(std::uint16_t r, std::size_t c, std::int64_t i) {
    if (i < kRkMin || i > kRkMax)
      return number(r, c, static_cast<double>(i), kXfGeneral, kNumberDots);
    cellHeader(kRk, r, c, kXfGeneral);
    out_.u32(static_cast<std::uint32_t>(i) << 2 | 0x02);  // 0x02: an integer, not a double
    out_.end();
    widen(c, static_cast<std::uint32_t>(std::to_string(i).size()) * kDigitDots);
  }

  void boolean(std::uint16_t r, std::size_t c, bool b) {
    cellHeader(kBoolErr, r, c, kXfGeneral);
    out_.u8(b ? 1 : 0);
    out_.u8(0);  // a boolean, not an error code
    out_.end();
    widen(c, textDots(u"VERDADERO", FontWeight::Regular));  // as a Spanish Excel shows it
  }

  void widen(std::size_t c, std::uint32_t dots) { widths_[c] = std::max(widths_[c], dots); }

  const std::vector<SheetColumn>& columns_;
  SharedStrings& strings_;
  std::vector<std::uint32_t> widths_;
  StreamWriter out_;
};

struct Dimensions {
  std::uint32_t rows = 0;
  std::uint16_t columns = 0;
};

Dimensions readDimensions(const Record& record) {
  FieldReader in(record.data);
  const std::uint32_t firstRow = in.u32();
  Dimensions d;
  d.rows = in.u32();
  const std::uint16_t firstColumn = in.u16();
  d.columns = in.u16();
  in.u16();
  if (!in.atEnd() || firstRow != 0 || firstColumn != 0 || d.rows > kMaxRows ||
      d.columns > kMaxColumns)
    throw MalformedWorkbook("una hoja declara un tamaño que este programa no escribe");
  return d;
}

// The row and column of a cell record, checked against the sheet's dimensions and the formats.
void checkCellPlace(FieldReader& in, const Dimensions& d) {
  const std::uint16_t row = in.u16();
  const std::uint16_t column = in.u16();
  const std::uint16_t xf = in.u16();
  if (row >= d.rows || column >= d.columns)
    throw MalformedWorkbook("una celda está fuera del tamaño declarado de su hoja");
  if (xf < kFirstCellXf || xf >= kXfCount)
    throw MalformedWorkbook("una celda usa un formato que el libro no define");
}

void checkCell(const Record& record, const Dimensions& d, std::size_t stringCount) {
  FieldReader in(record.data);
  checkCellPlace(in, d);
  switch (record.type) {
    case kLabelSst:
      if (in.u32() >= stringCount)
        throw MalformedWorkbook("una celda usa un texto que no está en la tabla de textos");
      break;
    case kNumber:
      in.f64();
      break;
    case kRk:
      in.u32();
      break;
    case kBoolErr:
      if (in.u8() > 1 || in.u8() != 0)
        throw MalformedWorkbook("una celda lógica tiene un valor que este programa no escribe");
      break;
  }
  if (!in.atEnd()) throw MalformedWorkbook("una celda tiene datos de más");
}

Record expect(RecordCursor& cursor, std::uint16_t type) {
  const Record record = cursor.next();
  if (record.type != type)
    throw MalformedWorkbook("una hoja tiene registros en un orden que este programa no escribe");
  return record;
}

bool sameBytes(ByteView a, ByteView b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace

Bytes writeSheet(const std::vector<SheetColumn>& columns, std::span<const Row> rows,
                 SharedStrings& strings) {
  if (columns.size() > kMaxColumns || rows.size() > kRowsPerSheet)
    throw std::logic_error("sheet larger than BIFF8 allows");

  SheetWriter cells(columns, strings);
  cells.header();
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].size() != columns.size()) throw std::logic_error("row width differs from columns");
    cells.row(static_cast<std::uint16_t>(r + 1), rows[r]);
  }

  StreamWriter out;
  writeWorksheetBof(out);
  for (std::size_t c = 0; c < columns.size(); ++c) {
    out.begin(kColInfo);
    out.u16(static_cast<std::uint16_t>(c));
    out.u16(static_cast<std::uint16_t>(c));
    out.u16(columnWidth(cells.widths()[c]));
    out.u16(kXfGeneral);
    out.u16(0);  // visible, not collapsed
    out.u16(0);
    out.end();
  }
  out.begin(kDimensions);
  out.u32(0);
  out.u32(columns.empty() ? 0 : static_cast<std::uint32_t>(rows.size() + 1));
  out.u16(0);
  out.u16(static_cast<std::uint16_t>(columns.size()));
  out.u16(0);
  out.end();
  out.append(cells.cells());
  out.begin(kWindow2);
  out.u16(kWindow2OtherSheet);
  out.u16(0);     // first row shown
  out.u16(0);     // first column shown
  out.u16(0x40);  // grid line colour: automatic
  out.u16(0);
  out.u16(0);  // zoom in page break preview: default
  out.u16(0);  // zoom in normal view: default
  out.u32(0);
  out.end();
  out.begin(kEof);
  out.end();
  return out.take();
}

std::size_t pageHeaderOffset() {
  StreamWriter bof;
  writeWorksheetBof(bof);
  return bof.size();
}

std::size_t viewFlagsOffset(std::size_t size) {
  constexpr std::size_t kEofSize = kRecordHeaderSize;
  return size - kEofSize - kWindow2Size + kRecordHeaderSize;
}

std::uint16_t viewFlags(bool active) {
  return active ? kWindow2ActiveSheet : kWindow2OtherSheet;
}

CheckedSheet checkSheet(ByteView stream, std::size_t offset, std::size_t stringCount) {
  RecordCursor cursor(stream, offset);
  StreamWriter bof;
  writeWorksheetBof(bof);
  const Record first = cursor.next();
  if (!sameBytes(stream.subspan(first.offset, cursor.position() - first.offset), bof.bytes()))
    throw MalformedWorkbook("una hoja no empieza como las hojas que escribe este programa");

  CheckedSheet checked;
  checked.headerSize = skipPageHeader(cursor);
  Record record = cursor.next();
  while (record.type == kColInfo) {
    if (record.data.size() != 12) throw MalformedWorkbook("un ancho de columna está dañado");
    record = cursor.next();
  }
  if (record.type != kDimensions)
    throw MalformedWorkbook("una hoja no declara su tamaño donde este programa lo escribe");
  const Dimensions dimensions = readDimensions(record);

  for (record = cursor.next(); record.type != kWindow2; record = cursor.next()) {
    if (record.type != kLabelSst && record.type != kNumber && record.type != kRk &&
        record.type != kBoolErr)
      throw MalformedWorkbook("una hoja tiene registros que este programa no escribe");
    checkCell(record, dimensions, stringCount);
  }
  if (record.data.size() + kRecordHeaderSize != kWindow2Size)
    throw MalformedWorkbook("la vista de una hoja está dañada");
  const std::uint16_t flags = FieldReader(record.data).u16();
  if (flags != kWindow2ActiveSheet && flags != kWindow2OtherSheet)
    throw MalformedWorkbook("la vista de una hoja tiene opciones que este programa no escribe");
  checked.active = flags == kWindow2ActiveSheet;
  if (!expect(cursor, kEof).data.empty())
    throw MalformedWorkbook("el final de una hoja está dañado");
  checked.end = cursor.position();
  return checked;
}

}  // namespace kolt::xls::biff8
