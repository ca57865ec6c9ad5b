// Decoding of the values an Access (Jet/ACE) file stores, from their raw bytes.
//
// Only plain functions of bytes: the reader hands over what libmdb located in a row, and these turn
// it into what the engine stores. Kept apart from libmdb so that each rule of the file format can
// be tested on its own, and so that nothing here depends on libmdb's own text formatting (which
// loses dates outside 1899-12-30..4637, characters outside the Basic Multilingual Plane and exact
// decimals).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kolt::access {

using Bytes = std::span<const unsigned char>;

// Text of a Jet4/ACE file: UTF-16LE, or "compressed" when it starts with FF FE (runs of one byte
// per character, switched on and off by 00 bytes). Surrogate pairs become one UTF-8 character; a
// lone surrogate becomes U+FFFD.
std::string decodeUnicodeText(Bytes bytes);

// Text of a Jet3 file in its code page. Windows-1252 is built in (with the five undefined bytes
// mapped as Windows maps them, to U+0081, U+008D, U+008F, U+0090 and U+009D); other code pages go
// through iconv, and a code page iconv does not know is read as Windows-1252.
std::string decodeSingleByteText(Bytes bytes, int codePage);

// A Currency value: a little-endian 64-bit count of ten-thousandths, as exact decimal text with
// four decimals ("-8540982423.4500").
std::string currencyText(std::int64_t tenThousandths);

// A Decimal (NUMERIC) value of 17 bytes: a sign byte (0x80 = negative) and a 128-bit magnitude
// stored as four little-endian 32-bit words, the most significant word first. Returned as exact
// decimal text with `scale` decimals ("-1", "102030405060.654321"); nullopt when the bytes are too
// short or the scale is out of range.
std::optional<std::string> decimalText(Bytes bytes, int scale);

// A GUID as Access shows it: "{8E39276A-BCA8-4AC4-891E-49911D8438DD}".
std::string guidText(Bytes bytes);

// A "Date/Time Extended" value (ACE 2016+): ASCII "DDDDDDDDDDDDDDDDDDD:TTTTTTTTTTTTTTTTTTT:7", the
// days since 0001-01-01 and the 100-ns ticks of the day, 19 digits each. Returned in the engine's
// canonical date text; nullopt when malformed or out of range.
std::optional<std::string> extendedDateText(Bytes bytes);

// An ordinary date/time (days since 1899-12-30 as a double) in the engine's canonical date text;
// nullopt for a value outside the years 1 to 9999 or not a number.
std::optional<std::string> dateText(double serial);

// How the engine stores an exact decimal text (as produced above) so that the rules' numeric
// comparisons work on it: as an integer when it is whole and fits 64 bits, as a double when that
// double printed with the text's decimals gives the text back. nullopt when neither keeps every
// digit; the caller must then not store the value as a number.
struct ExactNumber {
  bool isInteger = false;
  std::int64_t integer = 0;
  double real = 0;
};
std::optional<ExactNumber> exactNumber(const std::string& text);

}  // namespace kolt::access
