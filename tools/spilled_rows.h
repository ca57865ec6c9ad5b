// Rows of one table kept on disk until their table's turn comes.
//
// A generator makes a discharge and its child rows together, but a loader takes the tables one
// after another: the child rows wait here, in an unnamed spool file beside the output (the
// system removes it when it is closed, however the program ends), so memory stays the same
// whatever the number of discharges. Each value keeps its kind and its exact contents: a number
// comes back a number, not the text of one, and a real number to the last bit.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/error.h"
#include "base/failure_words.h"
#include "base/platform/files.h"
#include "base/value.h"

namespace kolt::tools {

class SpilledRows {
 public:
  // Makes the spool file in the folder of `beside`. Throws base::Error when it cannot.
  explicit SpilledRows(const std::filesystem::path& beside) : beside_(beside) {
    std::error_code error;
    file_ = platform::openSpoolFile(beside, error);
    if (!file_.isOpen()) fail(error);
    buffer_.reserve(kBufferBytes);
  }

  void add(const std::vector<base::Value>& row) {
    putCount(row.size());
    for (const base::Value& value : row) put(value);
    ++rows_;
    if (buffer_.size() >= kBufferBytes) flush();
  }

  std::uint64_t rows() const { return rows_; }

  // Hands every row to `onRow`, in the order they were added, then lets the spool go (its disk
  // space too): the rows are read once. `onRow` may keep nothing of the row it gets, which is
  // reused for the next.
  template <typename OnRow>
  void replay(OnRow&& onRow) {
    flush();
    Reader reader{*this};
    std::vector<base::Value> row;
    for (std::uint64_t r = 0; r < rows_; ++r) {
      row.resize(static_cast<std::size_t>(reader.count()));
      for (base::Value& value : row) reader.value(value);
      onRow(row);
    }
    if (!reader.atEnd()) fail(std::make_error_code(std::errc::io_error));
    file_ = platform::File();
    rows_ = 0;
    written_ = 0;
  }

 private:
  enum Kind : unsigned char { kNull, kInteger, kReal, kText, kBytes };
  static constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

  // Sizes and whole numbers in 7-bit groups, low first, so the short codes and small numbers
  // the tables hold take a byte or two; signed numbers zigzagged first, so -1 is short too.
  void putCount(std::uint64_t n) {
    for (; n >= 0x80; n >>= 7) buffer_.push_back(static_cast<char>((n & 0x7F) | 0x80));
    buffer_.push_back(static_cast<char>(n));
  }

  void putBytes(const void* bytes, std::size_t size) {
    putCount(size);
    buffer_.append(static_cast<const char*>(bytes), size);
  }

  void put(const base::Value& value) {
    if (const auto* n = std::get_if<std::int64_t>(&value)) {
      buffer_.push_back(kInteger);
      const auto u = static_cast<std::uint64_t>(*n);
      putCount((u << 1) ^ (*n < 0 ? ~std::uint64_t{0} : 0));
    } else if (const auto* d = std::get_if<double>(&value)) {
      buffer_.push_back(kReal);
      char bits[sizeof(double)];
      std::memcpy(bits, d, sizeof bits);
      buffer_.append(bits, sizeof bits);
    } else if (const auto* s = std::get_if<std::string>(&value)) {
      buffer_.push_back(kText);
      putBytes(s->data(), s->size());
    } else if (const auto* b = std::get_if<base::Blob>(&value)) {
      buffer_.push_back(kBytes);
      putBytes(b->bytes.data(), b->bytes.size());
    } else {
      buffer_.push_back(kNull);
    }
  }

  void flush() {
    if (buffer_.empty()) return;
    if (const std::error_code error = file_.write(buffer_.data(), buffer_.size())) fail(error);
    written_ += buffer_.size();
    buffer_.clear();
  }

  // The spool read back from its start, a buffer at a time.
  struct Reader {
    SpilledRows& spool;
    std::string buffer = std::string(kBufferBytes, '\0');
    std::size_t at = 0, end = 0;
    std::uint64_t offset = 0;

    bool atEnd() const { return at == end && offset == spool.written_; }

    unsigned char byte() {
      if (at == end) refill();
      return static_cast<unsigned char>(buffer[at++]);
    }

    void refill() {
      std::error_code error;
      const std::size_t n = offset < spool.written_ ? spool.file_.readSomeAt(offset, buffer.data(),
                                                                             buffer.size(), error)
                                                    : 0;
      if (error) spool.fail(error);
      // The spool ends before its rows do: the file was cut short under the program.
      if (n == 0) spool.fail(std::make_error_code(std::errc::io_error));
      offset += n;
      at = 0;
      end = n;
    }

    std::uint64_t count() {
      std::uint64_t n = 0;
      for (int shift = 0; shift < 64; shift += 7) {
        const unsigned char b = byte();
        n |= static_cast<std::uint64_t>(b & 0x7F) << shift;
        if ((b & 0x80) == 0) return n;
      }
      spool.fail(std::make_error_code(std::errc::io_error));
    }

    void bytes(char* out, std::size_t size) {
      while (size > 0) {
        if (at == end) refill();
        const std::size_t n = std::min(size, end - at);
        std::memcpy(out, buffer.data() + at, n);
        out += n, at += n, size -= n;
      }
    }

    void value(base::Value& value) {
      switch (byte()) {
        case kNull:
          value = std::monostate{};
          return;
        case kInteger: {
          const std::uint64_t z = count();
          value = static_cast<std::int64_t>((z >> 1) ^ ((z & 1) != 0 ? ~std::uint64_t{0} : 0));
          return;
        }
        case kReal: {
          char bits[sizeof(double)];
          bytes(bits, sizeof bits);
          double d;
          std::memcpy(&d, bits, sizeof d);
          value = d;
          return;
        }
        case kText: {
          std::string& s = value.emplace<std::string>(static_cast<std::size_t>(count()), '\0');
          bytes(s.data(), s.size());
          return;
        }
        case kBytes: {
          auto& b = value.emplace<base::Blob>().bytes;
          b.resize(static_cast<std::size_t>(count()));
          bytes(reinterpret_cast<char*>(b.data()), b.size());
          return;
        }
        default:
          spool.fail(std::make_error_code(std::errc::io_error));
      }
    }
  };

  [[noreturn]] void fail(const std::error_code& error) const {
    const std::string folder = "'" + base::folderOf(beside_) + "'";
    const std::string detail = base::detailOf(beside_, error.message());
    if (platform::noRoomLeft(error))
      throw base::Error(base::kErrDiskFull,
                        "No queda espacio en el disco para los datos provisionales en la carpeta " +
                            folder + ". Libere espacio y vuelva a intentarlo.",
                        detail);
    throw base::Error(base::kErrFile,
                      "No se pudieron guardar los datos provisionales en la carpeta " + folder +
                          base::becauseOf(error) +
                          ". Compruebe que tiene permiso de escritura en esa carpeta y que hay "
                          "espacio libre en el disco.",
                      detail);
  }

  std::filesystem::path beside_;
  platform::File file_;
  std::string buffer_;
  std::uint64_t rows_ = 0, written_ = 0;
};

}  // namespace kolt::tools
