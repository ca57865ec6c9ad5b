#include "xls/biff8_records.h"

#include <bit>
#include <cstring>

namespace kolt::xls::biff8 {

void StreamWriter::begin(std::uint16_t type) {
  if (open_) throw std::logic_error("BIFF8 record begun inside another record");
  open_ = true;
  recordStart_ = bytes_.size();
  u16(type);
  u16(0);
}

void StreamWriter::end() {
  if (!open_) throw std::logic_error("BIFF8 record ended twice");
  const std::size_t length = recordDataSize();
  if (length > kMaxRecordData) throw std::logic_error("BIFF8 record longer than the format allows");
  bytes_[recordStart_ + 2] = static_cast<unsigned char>(length & 0xFF);
  bytes_[recordStart_ + 3] = static_cast<unsigned char>(length >> 8);
  open_ = false;
}

void StreamWriter::u16(std::uint16_t v) {
  bytes_.push_back(static_cast<unsigned char>(v & 0xFF));
  bytes_.push_back(static_cast<unsigned char>(v >> 8));
}

void StreamWriter::u32(std::uint32_t v) {
  u16(static_cast<std::uint16_t>(v & 0xFFFF));
  u16(static_cast<std::uint16_t>(v >> 16));
}

void StreamWriter::patchU32(std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes_.at(at + i) = static_cast<unsigned char>(v >> (8 * i) & 0xFF);
}

void StreamWriter::f64(double v) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  u32(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
  u32(static_cast<std::uint32_t>(bits >> 32));
}

void StreamWriter::chars(std::u16string_view text, bool compressed) {
  if (compressed) {
    for (char16_t c : text) bytes_.push_back(static_cast<unsigned char>(c));
  } else {
    for (char16_t c : text) u16(static_cast<std::uint16_t>(c));
  }
}

Record RecordCursor::next() {
  if (stream_.size() - position_ < kRecordHeaderSize)
    throw MalformedWorkbook("el flujo de datos termina a mitad de un registro");
  Record record;
  record.offset = position_;
  record.type = static_cast<std::uint16_t>(stream_[position_] | stream_[position_ + 1] << 8);
  const std::size_t length = stream_[position_ + 2] | stream_[position_ + 3] << 8;
  position_ += kRecordHeaderSize;
  if (length > kMaxRecordData || stream_.size() - position_ < length)
    throw MalformedWorkbook(
        "un registro es más largo de lo que permite el formato o que el archivo");
  record.data = stream_.subspan(position_, length);
  position_ += length;
  return record;
}

std::uint8_t FieldReader::u8() {
  return take(1)[0];
}

std::uint16_t FieldReader::u16() {
  const ByteView b = take(2);
  return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

std::uint32_t FieldReader::u32() {
  const std::uint32_t low = u16();
  const std::uint32_t high = u16();
  return low | high << 16;
}

double FieldReader::f64() {
  const std::uint64_t low = u32();
  const std::uint64_t high = u32();
  return std::bit_cast<double>(low | high << 32);
}

ByteView FieldReader::take(std::size_t count) {
  if (remaining() < count) throw MalformedWorkbook("un registro es más corto que su contenido");
  const ByteView part = data_.subspan(position_, count);
  position_ += count;
  return part;
}

}  // namespace kolt::xls::biff8
