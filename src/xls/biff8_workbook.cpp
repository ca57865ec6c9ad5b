#include "xls/biff8_workbook.h"

#include <algorithm>
#include <stdexcept>

#include "xls/biff8_globals.h"
#include "xls/biff8_sheet.h"
#include "xls/biff8_sheet_names.h"
#include "xls/biff8_text.h"

namespace kolt::xls::biff8 {
namespace {

struct SheetEntry {
  std::u16string name;
  std::uint32_t offset = 0;
};

SheetEntry readBoundSheet(const Record& record) {
  FieldReader in(record.data);
  SheetEntry entry;
  entry.offset = in.u32();
  const std::uint8_t visibility = in.u8();
  const std::uint8_t kind = in.u8();
  const std::uint8_t length = in.u8();
  const std::uint8_t flags = in.u8();
  if (visibility != 0 || kind != 0 || length == 0 || length > kMaxSheetName || flags > 1)
    throw MalformedWorkbook("la lista de hojas tiene una entrada que este programa no escribe");
  const ByteView raw = in.take(flags ? 2u * length : length);
  for (std::size_t k = 0; k < length; ++k)
    entry.name.push_back(flags ? static_cast<char16_t>(raw[2 * k] | raw[2 * k + 1] << 8) : raw[k]);
  if (!in.atEnd()) throw MalformedWorkbook("la lista de hojas tiene una entrada dañada");
  return entry;
}

}  // namespace

WorkbookContents readWorkbook(ByteView stream) {
  const std::optional<GlobalsPrefix> prefix = readGlobalsPrefix(stream);
  if (!prefix) throw MalformedWorkbook("no empieza como los libros que escribe este programa");

  RecordCursor cursor(stream, prefix->end);
  std::vector<SheetEntry> entries;
  Record record = cursor.next();
  for (; record.type == kBoundSheet; record = cursor.next())
    entries.push_back(readBoundSheet(record));
  if (entries.empty()) throw MalformedWorkbook("no tiene ninguna hoja");
  if (prefix->activeSheet >= entries.size())
    throw MalformedWorkbook("abre en una hoja que no tiene");
  if (record.type != kSst) throw MalformedWorkbook("le falta la tabla de textos");

  WorkbookContents contents;
  contents.activeSheet = prefix->activeSheet;
  contents.strings = SharedStrings::read(record, cursor);
  if (cursor.next().type != kExtSst)
    throw MalformedWorkbook("le falta el índice de la tabla de textos");
  const Record end = cursor.next();
  if (end.type != kEof || !end.data.empty())
    throw MalformedWorkbook("los datos generales del libro no terminan donde deben");

  std::size_t position = cursor.position();
  for (SheetEntry& entry : entries) {
    if (entry.offset != position)
      throw MalformedWorkbook("la lista de hojas no coincide con las hojas guardadas");
    const CheckedSheet sheet = checkSheet(stream, position, contents.strings.strings.size());
    if (sheet.active != (contents.sheets.size() == contents.activeSheet))
      throw MalformedWorkbook("la hoja en que abre no es la que muestra");
    contents.sheets.push_back(
        {std::move(entry.name), stream.subspan(position, sheet.end - position), sheet.headerSize});
    position = sheet.end;
  }
  if (position != stream.size()) throw MalformedWorkbook("tiene datos después de su última hoja");
  return contents;
}

Bytes writeGlobals(const std::vector<SheetSize>& sheets, const SharedStrings& strings,
                   std::size_t activeSheet) {
  if (activeSheet >= std::max<std::size_t>(sheets.size(), 1))
    throw std::logic_error("active sheet beyond the workbook's sheets");
  StreamWriter out;
  writeGlobalsPrefix(out, static_cast<std::uint16_t>(activeSheet));

  // Where each substream will begin is known only once the shared strings are written.
  std::vector<std::size_t> offsetFields;
  for (const SheetSize& sheet : sheets) {
    const bool oneByte = fitsOneByte(sheet.name);
    out.begin(kBoundSheet);
    offsetFields.push_back(out.size());
    out.u32(0);
    out.u8(0);  // visible
    out.u8(0);  // a worksheet
    out.u8(static_cast<std::uint8_t>(sheet.name.size()));
    out.u8(oneByte ? 0 : 1);
    out.chars(sheet.name, oneByte);
    out.end();
  }
  strings.write(out);
  out.begin(kEof);
  out.end();

  std::size_t position = out.size();
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    if (sheets[i].size > kMaxStreamSize - position)
      throw std::length_error("workbook stream too large");
    out.patchU32(offsetFields[i], static_cast<std::uint32_t>(position));
    position += sheets[i].size;
  }
  return out.take();
}

}  // namespace kolt::xls::biff8
