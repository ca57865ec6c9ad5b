// The stored forms of Access values, decoded without libmdb.
#include "access/jet_values.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace kolt::access {
namespace {

std::vector<unsigned char> bytes(std::initializer_list<int> values) {
  return {values.begin(), values.end()};
}

std::vector<unsigned char> ascii(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(Text, UnicodeAndSingleByteFormsDecodeToUtf8) {
  EXPECT_EQ(decodeUnicodeText(bytes({'a', 0, 0xE4, 0, 0x16, 0x04})), "aäЖ");
  // FF FE, "aä" one byte each, 00 switches to UTF-16 for "Ж", 00 back to one byte for "b".
  EXPECT_EQ(decodeUnicodeText(bytes({0xFF, 0xFE, 'a', 0xE4, 0x00, 0x16, 0x04, 0x00, 'b'})), "aäЖb");
  EXPECT_EQ(decodeUnicodeText(bytes({0xFF, 0xFE})), "");
  EXPECT_EQ(decodeUnicodeText({}), "");
  // U+1F600 between two "a": the pair libmdb turns into two '?'.
  EXPECT_EQ(decodeUnicodeText(bytes({'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 'a', 0})), "a\U0001F600a");
  // A lone half (a damaged value) must not produce invalid UTF-8.
  EXPECT_EQ(decodeUnicodeText(bytes({0x3D, 0xD8, 'a', 0})), "\uFFFDa");
  EXPECT_EQ(decodeUnicodeText(bytes({0x00, 0xDE})), "\uFFFD");
  // An odd trailing byte is dropped rather than read past.
  EXPECT_EQ(decodeUnicodeText(bytes({'a', 0, 'b'})), "a");
  // Compressed texts: the units follow each other across the segments, so a pair parted by an
  // empty one-byte segment is still a pair; a half followed by one-byte characters, or by the end
  // of the text, is damaged.
  struct Compressed {
    std::vector<unsigned char> stored;
    std::string text;
  };
  for (const auto& [stored, text] : std::vector<Compressed>{
           {bytes({0xFF, 0xFE, 0x00, 0x3D, 0xD8, 0x00, 0x00, 0x01, 0xDE, 0x00, 'z'}),
            "\U0001F601z"},
           {bytes({0xFF, 0xFE, 0x00, 0x3D, 0xD8, 0x00, 0xE9}), "\uFFFD\u00E9"},
           {bytes({0xFF, 0xFE, 'x', 0x00, 0x3D, 0xD8}), "x\uFFFD"},
           {bytes({0xFF, 0xFE, 0xA0, 0xFF, 'z', 0x00, 0x01, 0xDE, 0x41, 0x01}),
            "\u00A0\u00FFz\uFFFD\u0141"},
       })
    EXPECT_EQ(decodeUnicodeText(stored), text) << text;

  EXPECT_EQ(decodeSingleByteText(bytes({'B', 0xF3, 'l', 'i', 'd', 'o'}), 1252), "Bólido");
  EXPECT_EQ(decodeSingleByteText(bytes({0x80, 0x9F}), 1252), "€Ÿ");
  // Bytes Windows-1252 leaves undefined keep their C1 code, as Windows itself does.
  EXPECT_EQ(decodeSingleByteText(bytes({0x81, 0x8D, 0x8F, 0x90, 0x9D}), 1252),
            "\u0081\u008D\u008F\u0090\u009D");
  // Another code page through iconv; an unknown one falls back to Windows-1252.
  EXPECT_EQ(decodeSingleByteText(bytes({0xC6}), 1251), "Ж");
  EXPECT_EQ(decodeSingleByteText(bytes({0xE9}), 65001 + 7), "é");
  EXPECT_EQ(guidText(bytes({0x6A, 0x27, 0x39, 0x8E, 0xA8, 0xBC, 0xC4, 0x4A, 0x89, 0x1E, 0x49, 0x91,
                            0x1D, 0x84, 0x38, 0xDD})),
            "{8E39276A-BCA8-4AC4-891E-49911D8438DD}");
}

TEST(ExactNumbers, CurrencyAndDecimalsKeepTheirDigits) {
  EXPECT_EQ(currencyText(-85409824234500), "-8540982423.4500");
  EXPECT_EQ(currencyText(5), "0.0005");
  EXPECT_EQ(currencyText(-5), "-0.0005");
  EXPECT_EQ(currencyText(LLONG_MIN), "-922337203685477.5808");
  // Sign byte, then four little-endian words, most significant first.
  auto value = bytes({0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x39, 0x30, 0, 0});  // 12345
  EXPECT_EQ(decimalText(value, 0), "12345");
  EXPECT_EQ(decimalText(value, 2), "123.45");
  EXPECT_EQ(decimalText(value, 6), "0.012345");
  EXPECT_EQ(decimalText(value, 5), "0.12345");  // as many decimals as digits
  value[0] = 0x80;
  EXPECT_EQ(decimalText(value, 3), "-12.345");
  // A negative zero is zero.
  EXPECT_EQ(decimalText(bytes({0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 2), "0.00");
  // 28 nines, 0x204FCE5E_3E250261_0FFFFFFF.
  EXPECT_EQ(decimalText(bytes({0x00, 0, 0, 0, 0, 0x5E, 0xCE, 0x4F, 0x20, 0x61, 0x02, 0x25, 0x3E,
                               0xFF, 0xFF, 0xFF, 0x0F}),
                        0),
            "9999999999999999999999999999");
  EXPECT_FALSE(decimalText(bytes({0, 1, 2}), 0));
  EXPECT_FALSE(decimalText(value, 29));
}

TEST(ExactNumbers, StoredAsNumbersOnlyWhenNoDigitIsLost) {
  auto n = exactNumber("-8540982423.4500");
  ASSERT_TRUE(n);
  EXPECT_FALSE(n->isInteger);
  EXPECT_EQ(n->real, -8540982423.45);
  n = exactNumber("12.0000");
  ASSERT_TRUE(n);
  EXPECT_TRUE(n->isInteger);
  EXPECT_EQ(n->integer, 12);
  n = exactNumber("9223372036854775807");
  ASSERT_TRUE(n);
  EXPECT_EQ(n->integer, LLONG_MAX);
  // Beyond what a double holds: storing it as a number would change it.
  EXPECT_FALSE(exactNumber("922337203685477.5807"));
  EXPECT_FALSE(exactNumber("9999999999999999999999999999"));
  EXPECT_FALSE(exactNumber("0.1234567890123456789"));
}

// Serials either side of day 0, and those no date has: base/date_text_test.cpp.
TEST(Dates, OrdinaryAndExtendedValues) {
  EXPECT_EQ(dateText(2958465.0), "9999-12-31 00:00:00");
  // Extended dates keep their fraction.
  EXPECT_EQ(extendedDateText(ascii("0000000000000737954:0000000818123456789:7")),
            "2021-06-14 22:43:32.3456789");
  EXPECT_EQ(extendedDateText(ascii("0000000000000000000:0000000000000000000:7")),
            "0001-01-01 00:00:00");
  EXPECT_FALSE(extendedDateText(ascii("0000000000000737954:0000000864000000000:7")));  // 24:00
  EXPECT_TRUE(extendedDateText(ascii("0000000000000737954:0000000863999999999:7")));
  EXPECT_FALSE(extendedDateText(ascii("00000000000007379x4:0000000000000000000:7")));
  EXPECT_FALSE(extendedDateText(ascii("0000000000003652059:0000000000000000000:7")));  // year 10000
  EXPECT_FALSE(extendedDateText(ascii("short")));
}

}  // namespace
}  // namespace kolt::access
