#include "xls/biff8_shared_strings.h"

#include <algorithm>
#include <limits>

#include "xls/biff8_text.h"

namespace kolt::xls::biff8 {
namespace {

// Flags byte of a stored string: bit 0 set for UTF-16, clear for one byte per character. The
// other bits (rich text, phonetic data) are never written.
constexpr std::uint8_t kUtf16Flag = 0x01;

// Length (2 bytes) and flags (1 byte) that precede a string's characters.
constexpr std::size_t kStringHeader = 3;

// EXTSST lists the position of every n-th string, in at most 128 buckets.
std::size_t stringsPerBucket(std::size_t count) {
  return std::max<std::size_t>(8, count / 128 + 1);
}

// Walks the data of an SST and its CONTINUE records as one sequence that may only be split where
// the writer is allowed to split it.
class FragmentReader {
 public:
  explicit FragmentReader(std::vector<ByteView> fragments)
      : fragments_(std::move(fragments)), reader_(fragments_.front()) {}

  FieldReader& current() { return reader_; }
  bool atLastFragmentEnd() const { return fragment_ + 1 == fragments_.size() && reader_.atEnd(); }
  void nextFragment() {
    if (++fragment_ >= fragments_.size())
      throw MalformedWorkbook("la tabla de textos termina antes de su último texto");
    reader_ = FieldReader(fragments_[fragment_]);
  }

 private:
  std::vector<ByteView> fragments_;
  std::size_t fragment_ = 0;
  FieldReader reader_;
};

std::uint8_t checkedFlags(std::uint8_t flags) {
  if ((flags & ~kUtf16Flag) != 0)
    throw MalformedWorkbook(
        "la tabla de textos usa un formato de texto que este programa no escribe");
  return flags;
}

}  // namespace

SharedStrings::SharedStrings(const std::vector<std::u16string>& strings, std::uint32_t references)
    : references_(references) {
  for (const std::u16string& s : strings) {
    strings_.push_back(s);
    // A repeated string keeps its first index for new cells; the old cells keep theirs.
    index_.emplace(strings_.back(), static_cast<std::uint32_t>(strings_.size() - 1));
  }
}

std::uint32_t SharedStrings::add(std::u16string_view text) {
  text = cutUtf16(text, kMaxCellText);
  if (references_ < std::numeric_limits<std::uint32_t>::max()) ++references_;
  if (auto found = index_.find(text); found != index_.end()) return found->second;
  if (strings_.size() >= std::numeric_limits<std::uint32_t>::max())
    throw std::length_error("shared string table full");
  strings_.emplace_back(text);
  const auto index = static_cast<std::uint32_t>(strings_.size() - 1);
  index_.emplace(strings_.back(), index);
  return index;
}

void SharedStrings::write(StreamWriter& out) const {
  struct Bucket {
    std::uint32_t position;
    std::uint16_t offsetInRecord;
  };
  std::vector<Bucket> buckets;
  const std::size_t perBucket = stringsPerBucket(strings_.size());

  out.begin(kSst);
  out.u32(references_);
  out.u32(static_cast<std::uint32_t>(strings_.size()));
  for (std::size_t i = 0; i < strings_.size(); ++i) {
    const std::u16string& text = strings_[i];
    const bool oneByte = fitsOneByte(text);
    const std::size_t charSize = oneByte ? 1 : 2;
    const std::uint8_t flags = oneByte ? 0 : kUtf16Flag;

    // A string's header never straddles two records, and neither does a character: readers find
    // the header at the start of a CONTINUE, or a fresh flags byte before the rest of the text.
    const std::size_t needed = kStringHeader + (text.empty() ? 0 : charSize);
    if (kMaxRecordData - out.recordDataSize() < needed) {
      out.end();
      out.begin(kContinue);
    }
    if (i % perBucket == 0)
      buckets.push_back({static_cast<std::uint32_t>(out.size()),
                         static_cast<std::uint16_t>(out.size() - out.recordStart())});
    out.u16(static_cast<std::uint16_t>(text.size()));
    out.u8(flags);
    std::size_t written = 0;
    for (;;) {
      const std::size_t room = (kMaxRecordData - out.recordDataSize()) / charSize;
      const std::size_t count = std::min(room, text.size() - written);
      out.chars(std::u16string_view(text).substr(written, count), oneByte);
      written += count;
      if (written == text.size()) break;
      out.end();
      out.begin(kContinue);
      out.u8(flags);
    }
  }
  out.end();

  out.begin(kExtSst);
  out.u16(static_cast<std::uint16_t>(perBucket));
  for (const Bucket& bucket : buckets) {
    out.u32(bucket.position);
    out.u16(bucket.offsetInRecord);
    out.u16(0);
  }
  out.end();
}

SharedStrings::Contents SharedStrings::read(const Record& sst, RecordCursor& cursor) {
  std::vector<ByteView> fragments{sst.data};
  while (!cursor.atEnd()) {
    RecordCursor probe = cursor;
    const Record next = probe.next();
    if (next.type != kContinue) break;
    fragments.push_back(next.data);
    cursor = probe;
  }

  FragmentReader in(std::move(fragments));
  Contents contents;
  contents.references = in.current().u32();
  const std::uint32_t count = in.current().u32();
  for (std::uint32_t i = 0; i < count; ++i) {
    if (in.current().atEnd()) in.nextFragment();
    const std::uint16_t length = in.current().u16();
    std::uint8_t flags = checkedFlags(in.current().u8());
    std::u16string text;
    text.reserve(length);
    while (text.size() < length) {
      if (in.current().atEnd()) {
        in.nextFragment();
        flags = checkedFlags(in.current().u8());
      }
      const std::size_t charSize = (flags & kUtf16Flag) ? 2 : 1;
      const std::size_t chunk =
          std::min<std::size_t>(length - text.size(), in.current().remaining() / charSize);
      if (chunk == 0) throw MalformedWorkbook("un texto de la tabla de textos está partido");
      const ByteView raw = in.current().take(chunk * charSize);
      for (std::size_t k = 0; k < chunk; ++k)
        text.push_back(charSize == 1 ? raw[k]
                                     : static_cast<char16_t>(raw[2 * k] | raw[2 * k + 1] << 8));
    }
    contents.strings.push_back(std::move(text));
  }
  if (!in.atLastFragmentEnd())
    throw MalformedWorkbook("la tabla de textos tiene más datos que textos");
  return contents;
}

}  // namespace kolt::xls::biff8
