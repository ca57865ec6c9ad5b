// Records of a BIFF8 workbook stream: their numbers, and how they are written and walked.
//
// A workbook stream is a flat sequence of records, each a 2-byte type, a 2-byte length and at most
// kMaxRecordData bytes of little-endian data. Larger contents (the shared string table) go on in
// CONTINUE records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kolt::xls::biff8 {

using Bytes = std::vector<unsigned char>;
using ByteView = std::span<const unsigned char>;

enum RecordType : std::uint16_t {
  kEof = 0x000A,
  kHeader = 0x0014,
  kDateMode = 0x0022,
  kFont = 0x0031,
  kPrintHeaders = 0x002A,
  kContinue = 0x003C,
  kWindow1 = 0x003D,
  kCodePage = 0x0042,
  kColInfo = 0x007D,
  kBoundSheet = 0x0085,
  kXf = 0x00E0,
  kSst = 0x00FC,
  kLabelSst = 0x00FD,
  kExtSst = 0x00FF,
  kDimensions = 0x0200,
  kNumber = 0x0203,
  kBoolErr = 0x0205,
  kWindow2 = 0x023E,
  kRk = 0x027E,
  kStyle = 0x0293,
  kFormat = 0x041E,
  kBof = 0x0809,
};

inline constexpr std::size_t kMaxRecordData = 8224;
inline constexpr std::size_t kRecordHeaderSize = 4;

// The stream does not hold what this program writes: a foreign or damaged file. The message is the
// detail shown to the user, in Spanish.
class MalformedWorkbook : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Builds a stream record by record. Data is appended in little-endian order; end() fills in the
// length of the record begun last.
class StreamWriter {
 public:
  void begin(std::uint16_t type);
  void end();
  // Bytes written into the open record so far (without its header).
  std::size_t recordDataSize() const { return bytes_.size() - recordStart_ - kRecordHeaderSize; }
  std::size_t recordStart() const { return recordStart_; }

  void u8(std::uint8_t v) { bytes_.push_back(v); }
  void u16(std::uint16_t v);
  void u32(std::uint32_t v);
  void f64(double v);
  void append(ByteView data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
  // Overwrites four bytes written earlier, for a field known only later (a sheet's position).
  void patchU32(std::size_t at, std::uint32_t v);

  // Characters of a string, one byte each when every code unit is below 0x100 ("compressed"),
  // otherwise UTF-16LE. The caller writes the length and flags that precede them.
  void chars(std::u16string_view text, bool compressed);

  std::size_t size() const { return bytes_.size(); }
  const Bytes& bytes() const { return bytes_; }
  Bytes take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
  std::size_t recordStart_ = 0;
  bool open_ = false;
};

struct Record {
  std::uint16_t type = 0;
  std::size_t offset = 0;  // of the record header in the stream
  ByteView data;
};

// Walks the records of a stream; a record whose length runs past the end is malformed.
class RecordCursor {
 public:
  explicit RecordCursor(ByteView stream, std::size_t position = 0)
      : stream_(stream), position_(position) {}
  bool atEnd() const { return position_ >= stream_.size(); }
  std::size_t position() const { return position_; }
  Record next();

 private:
  ByteView stream_;
  std::size_t position_;
};

// Reads the fields of one record's data; reading past its end is malformed.
class FieldReader {
 public:
  explicit FieldReader(ByteView data) : data_(data) {}
  std::uint8_t u8();
  std::uint16_t u16();
  std::uint32_t u32();
  double f64();
  ByteView take(std::size_t count);
  std::size_t remaining() const { return data_.size() - position_; }
  bool atEnd() const { return position_ == data_.size(); }

 private:
  ByteView data_;
  std::size_t position_ = 0;
};

}  // namespace kolt::xls::biff8
