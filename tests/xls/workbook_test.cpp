// Workbooks are read back with xlrd (tests/xls/read_xls.py), a reader that shares nothing with the
// writer, and compared cell by cell.
#include "xls/workbook.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <latch>
#include <thread>

#include "base/error.h"
#include "base/platform/paths.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/workbook_reader.h"
#include "xls/biff8_records.h"
#include "xls/biff8_shared_strings.h"

namespace kolt::xls {
namespace {

namespace fs = std::filesystem;

using base::Blob;
using namespace test;

const std::vector<SheetColumn> kTwoColumns = {{"folio"}, {"nombre"}};

// The Workbook stream of the workbook `book`.
std::string workbookStream(const fs::path& book) {
  GsfInput* file = gsf_input_stdio_new(platform::utf8(book).c_str(), nullptr);
  GsfInfile* ole = gsf_infile_msole_new(file, nullptr);
  GsfInput* stream = gsf_infile_child_by_name(ole, "Workbook");
  std::string bytes(static_cast<std::size_t>(gsf_input_size(stream)), '\0');
  gsf_input_read(stream, bytes.size(), reinterpret_cast<guint8*>(bytes.data()));
  g_object_unref(stream);
  g_object_unref(ole);
  g_object_unref(file);
  return bytes;
}

class Workbook : public ::testing::Test {
 protected:
  TempDir dir;
  fs::path book = dir / "Val.xls";
};

TEST_F(Workbook, WritesEachKindOfValueAsItsOwnKindOfCellAndAnyUnicodeText) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  const std::vector<SheetColumn> columns = {{"texto"},
                                            {"entero"},
                                            {"real"},
                                            {"egreso", ColumnKind::Date},
                                            {"logico", ColumnKind::Boolean},
                                            {"nada"}};
  using S = std::string;
  using I = std::int64_t;
  const base::Value null;
  const std::vector<Row> rows = {
      {S("abc"), I{42}, 2.5, S("2023-01-05 00:00:00"), I{-1}, null},
      {S(""), I{-7}, -0.125, S("2023-01-05 13:45:30"), I{0}, null},
      // Beyond RK's 30 bits, and beyond the 15 digits Excel keeps (so written as text).
      {null, I{1} << 40, 1e300, S("1900-03-01 00:00:00"), I{7}, null},
      {Blob{{1, 2, 3}}, I{1234567890123456789}, HUGE_VAL, S("1900-02-28 00:00:00"), null, null},
      // Not dates Excel can show, or not dates at all: kept as the text they are.
      {null, null, null, S("0632-01-01 00:00:00"), S("sí"), null},
      {null, null, null, S("05/01/2023"), null, null},
      // A finding with no value in any column is still a row of its sheet, even the last one.
      {null, null, null, null, null, null},
  };
  appendSheet(book, "Validacion1", columns, rows);
  // Any Unicode text in any sheet name; a text longer than a cell holds is cut, never split inside
  // a character.
  std::string longSpanish;
  while (longSpanish.size() < 3 * 33000) longSpanish += "ñ€";  // 2 + 3 bytes, 2 characters
  // 32,767 UTF-16 units of "ñ€ñ€...": an odd count, so it ends on "ñ".
  std::string cut;
  for (int i = 0; i < 32767; ++i) cut += i % 2 == 0 ? "ñ" : "€";
  appendSheet(book, "Ñandú", {{"nombre"}},
              {Row{S("José Muñoz, Álvarez; Ü")}, Row{S("病院 😀 ok")}, Row{S("bad \xff\xfe utf8")},
               Row{S(40000, 'a')}, Row{longSpanish}, Row{S(32766, 'b') + "😀"}});

  const ReadBack got = readBack(book);
  ASSERT_EQ(got.names, (std::vector<std::string>{"Validacion1", "Ñandú"}));
  const SheetCells expected = {
      {"text:texto", "text:entero", "text:real", "text:egreso", "text:logico", "text:nada"},
      {"text:abc", "number:42", "number:2.5", "date:2023-01-05 00:00:00|dd/mm/yyyy", "bool:true"},
      {"text:", "number:-7", "number:-0.125", "date:2023-01-05 13:45:30|dd/mm/yyyy hh:mm:ss",
       "bool:false"},
      {"", "number:1099511627776", "number:1e+300", "date:1900-03-01 00:00:00|dd/mm/yyyy",
       "bool:true"},
      {"text:(binario, 3 bytes)", "text:1234567890123456789", "text:Infinito",
       "text:1900-02-28 00:00:00"},
      {"", "", "", "text:0632-01-01 00:00:00", "text:sí"},
      {"", "", "", "text:05/01/2023"},
      {"text:"},
  };
  EXPECT_EQ(got.sheets.at(0), expected);
  // Serials as the engine counts them: 1900-03-01 is day 61, and time is the fraction.
  EXPECT_EQ(got.dateSerials.at(0),
            (std::vector<double>{44931.0, 44931.0 + (13 * 3600 + 45 * 60 + 30) / 86400.0, 61.0}));
  // The last cut falls inside the emoji's surrogate pair: the whole emoji goes.
  EXPECT_EQ(got.sheets.at(1), (SheetCells{{"text:nombre"},
                                          {"text:José Muñoz, Álvarez; Ü"},
                                          {"text:病院 😀 ok"},
                                          {"text:bad \uFFFD\uFFFD utf8"},
                                          {"text:" + S(32767, 'a')},
                                          {"text:" + cut},
                                          {"text:" + S(32766, 'b')}}));
}

// Units save their workbooks from threads of their own; the first saves of a process race to set
// the writer's library up. Every workbook must come out whole all the same.
TEST_F(Workbook, FirstWorkbooksOfAProcessSavedAtOnceFromManyThreadsAreWhole) {
  constexpr int kThreads = 16;
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      start.arrive_and_wait();
      appendSheet(dir / ("Val" + std::to_string(i) + ".xls"), "Validacion1", kTwoColumns,
                  {Row{std::int64_t{i}, std::string("uno")}});
    });
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < kThreads; ++i)
    EXPECT_EQ(sheetNames(dir / ("Val" + std::to_string(i) + ".xls")),
              std::vector<std::string>{"Validacion1"});
}

// Each call adds a sheet after the others, under a name Excel accepts. The first sheet's thousands
// of distinct strings overflow the SST record into CONTINUE records (one-byte and two-byte
// characters mixed, of many lengths, put the record boundary inside strings of both kinds); every
// later call reads that table back and writes it again.
TEST_F(Workbook, EachCallAddsSheetsAfterTheOthersUnderNamesExcelAccepts) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  std::vector<Row> rows;
  std::vector<SheetCells> sheets = {{{"text:folio", "text:nombre"}}};
  for (int i = 0; i < 3000; ++i) {
    std::string text = std::to_string(i) + ":";
    for (int k = 0; k < i % 37; ++k) text += (i % 3 == 0) ? "ü" : (i % 3 == 1 ? "x" : "€");
    rows.push_back(Row{std::int64_t{i}, text});
    sheets[0].push_back({"number:" + std::to_string(i), "text:" + text});
  }
  appendSheet(book, "Primera", kTwoColumns, rows);
  const std::pair<const char*, std::string> cases[] = {
      {"a[b]c:d*e?f/g\\h", "a_b_c_d_e_f_g_h"},
      {"Una tabla con un nombre mucho más largo que 31", "Una tabla con un nombre mucho m"},
      {"Una tabla con un nombre mucho más largo que 32", "Una tabla con un nombre muc (2)"},
      {"validacion1", "validacion1"},
      {"VALIDACION1", "VALIDACION1 (2)"},
      {"history", "history (2)"},
      {"'cita'", "_cita_"},
      {"", "Hoja"}};
  // The second sheet has no rows: it still shows its column names.
  std::vector<std::string> names = {"Primera"};
  for (std::int64_t i = 0; i < 8; ++i) {
    appendSheet(book, cases[i].first, kTwoColumns,
                i == 0 ? std::vector<Row>{} : std::vector<Row>{Row{i, std::string("uno")}});
    names.push_back(cases[i].second);
    sheets.push_back({{"text:folio", "text:nombre"}});
    if (i > 0) sheets.back().push_back({"number:" + std::to_string(i), "text:uno"});
  }
  // Rows beyond one sheet go on to a further sheet, with the header again.
  rows.clear();
  sheets.resize(sheets.size() + 2, {{"text:folio", "text:clues", "text:egreso"}});
  for (std::int64_t i = 0; i < 70000; ++i) {
    const std::string clues = "CLUES" + std::to_string(i % 97);
    rows.push_back(Row{i, clues, std::string("2022-06-15 00:00:00")});
    sheets[sheets.size() - (i < std::int64_t{kRowsPerSheet} ? 2 : 1)].push_back(
        {"number:" + std::to_string(i), "text:" + clues, "date:2022-06-15 00:00:00|dd/mm/yyyy"});
  }
  appendSheet(book, "Validacion7", {{"folio"}, {"clues"}, {"egreso", ColumnKind::Date}}, rows);
  names.insert(names.end(), {"Validacion7", "Validacion7 (2)"});
  EXPECT_EQ(sheetNames(book), names);
  const ReadBack got = readBack(book);
  EXPECT_EQ(got.names, names);
  EXPECT_EQ(got.sheets, sheets);
  // Nothing but the workbook: no temporary is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

// Column widths checked by tests/xls/read_widths.py (with xlrd, and the font LibreOffice draws):
// a column never cuts its text off, whatever its letters, nor is far wider than it, and a column
// of capitals is wider than one of as many digits.
TEST_F(Workbook, ColumnsFitTheirWidestTextWhateverItsLetters) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  // As many characters in each of the first three headers; then a header far shorter than the
  // verdicts below it, accents and ñ, wide letters, a long narrow text.
  const std::vector<std::vector<std::string>> columns = {
      {"VALIDACION INCOMPLETA"},
      {"000000000000000000000"},
      {"iiiiiiiiiiiiiiiiiiiii"},
      {"Resultado", "CORRECTA", "A REVISAR", "VALIDACION INCOMPLETA", "SIN EGRESOS"},
      {"Descripción", "AÑO DE EGRESO MAYOR QUE EL AÑO DE INGRESO", "Niño"},
      {"WWWWMMMM", "wwwwmmmm"},
      {"Texto largo", "il.,;:|' il.,;:|' il.,;:|' il.,;:|' il.,;:|'"},
  };
  std::vector<SheetColumn> names;
  std::vector<Row> rows(4, Row(columns.size()));
  for (std::size_t c = 0; c < columns.size(); ++c) {
    names.push_back({columns[c][0]});
    for (std::size_t r = 1; r < columns[c].size(); ++r) rows[r - 1][c] = columns[c][r];
  }
  appendSheet(book, "Anchos", names, rows);
  std::string faults;
  const auto script = sourceDir() / "tests" / "xls" / "read_widths.py";
  const int status =
      runCommand("/usr/bin/python3 '" + script.string() + "' '" + book.string() + "'", faults);
  if (status == 77) GTEST_SKIP() << "Pillow or Liberation Sans missing";
  EXPECT_EQ(status, 0) << faults;
}

// Other tests and the checks of the Windows build compare workbooks byte for byte with reference
// files: a workbook that sets no page header and no active sheet, or sets the first sheet active,
// keeps exactly the bytes of tests/data/xls/three-sheets.xls (its Workbook stream; the compound
// file around it is libgsf's). One sheet is added to a new file, two more to it when extended.
TEST_F(Workbook, WithoutPageHeadersOpeningOnTheFirstSheetTheBytesAreTheReferenceOnes) {
  const fs::path reference = sourceDir() / "tests" / "data" / "xls" / "three-sheets.xls";
  using S = std::string;
  using I = std::int64_t;
  for (const bool firstSetActive : {false, true}) {
    SCOPED_TRACE(firstSetActive);
    fs::remove(book);
    appendSheet(book, "Validacion3",
                {{"folio"}, {"egreso", ColumnKind::Date}, {"ok", ColumnKind::Boolean}},
                {Row{I{1}, S("2023-01-05 00:00:00"), I{1}}, Row{I{2}, S("sí"), I{0}}});
    xls::Workbook more = xls::Workbook::extending(book);
    more.addSheet("Validacion7", kTwoColumns, {Row{I{3}, S("tres")}});
    more.addSheet("catValidaciones", kTwoColumns, std::vector<Row>{});
    if (firstSetActive) {
      more.setActiveSheet(2);
      more.setPageHeader(1, {"", "quitado", ""});
      more.setPageHeader(1, {});
      more.setActiveSheet(0);
    }
    more.save();
    EXPECT_EQ(workbookStream(book), workbookStream(reference));
  }
}

// Page headers and the sheet a workbook opens on, as xlrd reads them: "&" escaped, accents and
// characters beyond one byte, a header too long for Excel shortened to its 255 characters; the
// workbook opening on a sheet after a table split over two sheets, then on the last of several,
// both kept when the workbook is extended.
TEST_F(Workbook, OpensOnTheChosenSheetAndPrintsEachSheetsPageHeader) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  using S = std::string;
  std::vector<Row> rows;
  for (std::int64_t i = 0; i <= std::int64_t{kRowsPerSheet}; ++i) rows.push_back(Row{i});
  xls::Workbook first(book);
  first.addSheet("Validacion1", {{"folio"}}, rows);
  first.addSheet("catValidaciones", kTwoColumns, std::vector<Row>{});
  first.addSheet("Resumen:Val", kTwoColumns, {Row{std::int64_t{1}, S("uno")}});
  EXPECT_EQ(first.sheetNames(), (std::vector<std::string>{"Validacion1", "Validacion1 (2)",
                                                          "catValidaciones", "Resumen_Val"}));
  // 234 letters and then "&": escaped, the cut for the 255 characters falls between its two "&".
  const S longText = S(234, 'x') + "&" + S(100, 'y');
  first.setPageHeader(0, {"Validacion1", "AÑO & MES: egreso > ingreso", "Hospital Niño"});
  first.setPageHeader(1, {"Validacion1 (2)", longText, ""});
  first.setPageHeader(2, {"", "", "Niño 😀 病院"});
  first.setPageHeader(3, {"borrado", "", ""});
  first.setPageHeader(3, {});
  first.setActiveSheet(2);
  first.save();

  const std::vector<std::optional<S>> headers = {
      "&LValidacion1&CAÑO && MES: egreso > ingreso&RHospital Niño",
      "&LValidacion1 (2)&C" + S(234, 'x') + "…",
      "&RNiño 😀 病院",
      std::nullopt,
  };
  const auto expectViews = [&](const ReadBack& got, std::size_t active,
                               const std::vector<std::optional<S>>& expected) {
    EXPECT_EQ(got.activeSheet, active);
    EXPECT_EQ(got.firstTab, active);
    ASSERT_EQ(got.views.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
      EXPECT_EQ(got.views[i], (SheetView{i == active, i == active, expected[i]})) << i;
  };
  ReadBack got = readBack(book);
  expectViews(got, 2, headers);
  EXPECT_EQ(got.sheets.at(2), (SheetCells{{"text:folio", "text:nombre"}}));

  // A sheet added later leaves the workbook opening where it did, every header in place.
  appendSheet(book, "Seguimiento", kTwoColumns, {});
  std::vector<std::optional<S>> more = headers;
  more.push_back(std::nullopt);
  expectViews(readBack(book), 2, more);

  // Extended again: the last sheet becomes the active one, and a header is replaced.
  xls::Workbook last = xls::Workbook::extending(book);
  last.addSheet("Resumen", kTwoColumns, {Row{std::int64_t{2}, S("dos")}});
  last.setPageHeader(0, {"", "Validacion1 & otra", ""});
  last.setActiveSheet(last.sheetCount() - 1);
  last.save();
  more[0] = "&CValidacion1 && otra";
  more.push_back(std::nullopt);
  got = readBack(book);
  expectViews(got, 5, more);
  EXPECT_EQ(got.names.back(), "Resumen");
  EXPECT_EQ(got.sheets.at(1).size(), 2u);  // the split's second sheet: header row and one row
  EXPECT_EQ(got.sheets.at(5),
            (SheetCells{{"text:folio", "text:nombre"}, {"number:2", "text:dos"}}));

  // LibreOffice loses a HEADER that comes right after its sheet's BOF.
  const std::string stream = workbookStream(book);
  const biff8::ByteView bytes(reinterpret_cast<const unsigned char*>(stream.data()), stream.size());
  biff8::RecordCursor cursor(bytes);
  int headerRecords = 0;
  for (std::uint16_t previous = 0; !cursor.atEnd();) {
    const std::uint16_t type = cursor.next().type;
    if (type == biff8::kHeader) {
      ++headerRecords;
      EXPECT_NE(previous, biff8::kBof);
    }
    previous = type;
  }
  EXPECT_EQ(headerRecords, 3);
}

class RefusedWorkbook : public Workbook {
 protected:
  // The call fails with the workbook error, and the folder is exactly as it was: the workbook
  // unchanged, no temporary left behind.
  void expectRefused(const std::function<void()>& call) {
    const std::string before = fileText(book);
    const auto files = std::distance(fs::directory_iterator(dir.path()), {});
    try {
      call();
      ADD_FAILURE() << "no error";
    } catch (const base::Error& e) {
      EXPECT_EQ(e.number(), base::kErrWorkbook);
      EXPECT_FALSE(e.description().empty());
    }
    EXPECT_EQ(fileText(book), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), files);
  }

  // A compound file holding one stream of the given name and content.
  void writeCompoundFile(const char* streamName, std::string_view content) {
    GsfOutput* sink = gsf_output_stdio_new(platform::utf8(book).c_str(), nullptr);
    ASSERT_NE(sink, nullptr);
    GsfOutfile* ole = gsf_outfile_msole_new(sink);
    GsfOutput* child = gsf_outfile_new_child(ole, streamName, FALSE);
    gsf_output_write(child, content.size(), reinterpret_cast<const guint8*>(content.data()));
    gsf_output_close(child);
    g_object_unref(child);
    gsf_output_close(GSF_OUTPUT(ole));  // closes the sink too
    g_object_unref(ole);
    g_object_unref(sink);
  }
};

// A sheet that is not there is the caller's fault: refused, not written somewhere else.
TEST_F(RefusedWorkbook, PageHeaderOrActiveSheetOfASheetNotThereIsRefused) {
  xls::Workbook empty(book);
  xls::Workbook two(dir / "Dos.xls");
  two.addSheet("Uno", kTwoColumns, std::vector<Row>{});
  two.addSheet("Dos", kTwoColumns, std::vector<Row>{});
  expectRefused([&] { empty.setActiveSheet(0); });
  expectRefused([&] { empty.setPageHeader(0, {"a", "b", "c"}); });
  expectRefused([&] { two.setActiveSheet(2); });
  expectRefused([&] { two.setPageHeader(2, {"a", "b", "c"}); });
  expectRefused([&] { two.setActiveSheet(static_cast<std::size_t>(-1)); });
}

// Files that are not whole workbooks, and compound files that open with a Workbook stream that is
// missing, cut short, or whose lengths and indexes do not hold together.
TEST_F(RefusedWorkbook, DamagedFilesRowsThatDoNotMatchTheColumnsOrNoSuchFolder) {
  appendSheet(book, "Hoja", kTwoColumns, {Row{std::int64_t{1}, std::string("uno")}});
  // Rows that do not match the columns, and more columns than a sheet has, leave the book whole.
  expectRefused([&] { appendSheet(book, "Otra", kTwoColumns, {Row{std::int64_t{1}}}); });
  expectRefused([&] { appendSheet(book, "Otra", std::vector<SheetColumn>(257, {"c"}), {}); });
  EXPECT_EQ(sheetNames(book), std::vector<std::string>{"Hoja"});
  const std::string whole = fileText(book), stream = workbookStream(book);
  // The last LABELSST holds the index of "uno"; point it past the string table.
  std::string badIndex = stream;
  const std::size_t label = badIndex.rfind(std::string("\xFD\x00\x0A\x00", 4));
  ASSERT_NE(label, std::string::npos);
  badIndex[label + 4 + 6] = '\x7F';
  // Opening on a sheet it does not have; its only sheet not shown although it is the active one.
  std::string badActive = stream;
  const std::size_t window1 = badActive.find(std::string("\x3D\x00\x12\x00", 4));
  ASSERT_NE(window1, std::string::npos);
  badActive[window1 + 4 + 10] = badActive[window1 + 4 + 12] = '\x01';
  std::string notShown = stream;
  const std::size_t window2 = notShown.rfind(std::string("\x3E\x02\x12\x00", 4));
  ASSERT_NE(window2, std::string::npos);
  notShown[window2 + 4 + 1] = '\x00';
  // A page header whose length runs past its record.
  xls::Workbook headed(dir / "Encabezado.xls");
  headed.addSheet("Hoja", kTwoColumns, std::vector<Row>{});
  headed.setPageHeader(0, {"", "x", ""});
  headed.save();
  std::string badHeader = workbookStream(dir / "Encabezado.xls");
  fs::remove(dir / "Encabezado.xls");
  const std::size_t header = badHeader.find(std::string("\x14\x00\x06\x00\x03\x00", 6));
  ASSERT_NE(header, std::string::npos);
  badHeader[header + 4] = '\x04';
  // The stream's name, or none for a file written as it is.
  const std::vector<std::pair<const char*, std::string>> files = {
      {nullptr, "folio,nombre\n1,uno\n"},
      {nullptr, ""},
      {nullptr, whole.substr(0, whole.size() / 2)},
      {"Book", stream},
      {"Workbook", ""},
      {"Workbook", stream.substr(0, 10)},
      {"Workbook", stream.substr(0, stream.size() / 2)},
      {"Workbook", stream.substr(0, stream.size() - 1)},
      {"Workbook", badIndex},
      {"Workbook", badActive},
      {"Workbook", notShown},
      {"Workbook", badHeader},
      {"Workbook", stream + std::string(8, '\0')},  // garbage after the last sheet
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(i);
    if (files[i].first != nullptr) writeCompoundFile(files[i].first, files[i].second);
    if (files[i].first == nullptr) std::ofstream(book, std::ios::binary) << files[i].second;
    expectRefused([&] { appendSheet(book, "Otra", kTwoColumns, {}); });
    expectRefused([&] { sheetNames(book); });
  }
  book = dir / "falta" / "Val.xls";  // a folder that does not exist
  expectRefused([&] { appendSheet(book, "Hoja", kTwoColumns, {}); });
}

// The string table counts every use of a string (a reader sizes its tables by it), and reads back
// what it wrote across CONTINUE records: strings ending exactly at and just past a record's end.
TEST(SharedStrings, CountsEveryUseAndReadsBackWhatItWrote) {
  const std::vector<std::u16string> texts = {std::u16string(8213, u'a'), u"",
                                             std::u16string(4107, u'\u20ac'), u"\u00f1"};
  biff8::SharedStrings strings;
  for (const auto& text : texts) strings.add(text);
  strings.add(texts[0]);
  biff8::StreamWriter out;
  strings.write(out);
  const biff8::Bytes bytes = out.take();
  biff8::RecordCursor cursor(bytes);
  const auto contents = biff8::SharedStrings::read(cursor.next(), cursor);
  EXPECT_EQ(contents.strings, texts);
  EXPECT_EQ(contents.references, 5u);
  EXPECT_EQ(cursor.next().type, biff8::kExtSst);
}

}  // namespace
}  // namespace kolt::xls
