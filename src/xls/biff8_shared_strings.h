// The shared string table (SST) of a workbook: every distinct text once; text cells refer to it by
// index. An appended sheet adds its texts after those already there, so the cells of the sheets
// copied from the old file keep pointing at the same strings.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "xls/biff8_records.h"

namespace kolt::xls::biff8 {

class SharedStrings {
 public:
  SharedStrings() = default;
  // The table of an existing workbook: `references` is the number of cells that use it.
  SharedStrings(const std::vector<std::u16string>& strings, std::uint32_t references);
  SharedStrings(const SharedStrings&) = delete;
  SharedStrings& operator=(const SharedStrings&) = delete;

  // The index of `text` (cut to kMaxCellText), added when new; counts one more reference.
  std::uint32_t add(std::u16string_view text);

  std::size_t size() const { return strings_.size(); }
  const std::u16string& at(std::size_t index) const { return strings_.at(index); }
  std::uint32_t references() const { return references_; }

  // Writes SST (with CONTINUE records as needed) and EXTSST. EXTSST holds absolute stream
  // positions, so `out` must hold the workbook stream from its first byte.
  void write(StreamWriter& out) const;

  // Reads the strings of the SST record `sst` and of the CONTINUE records after it, leaving
  // `cursor` on the first record that is not a CONTINUE.
  struct Contents {
    std::vector<std::u16string> strings;
    std::uint32_t references = 0;
  };
  static Contents read(const Record& sst, RecordCursor& cursor);

 private:
  // A deque never moves its elements, so the views used as keys stay valid.
  std::deque<std::u16string> strings_;
  std::unordered_map<std::u16string_view, std::uint32_t> index_;
  std::uint32_t references_ = 0;
};

}  // namespace kolt::xls::biff8
