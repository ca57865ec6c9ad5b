#include "access_writer/usage_map.h"

namespace kolt::access_writer {
namespace {

constexpr std::size_t kSlots = (kMaxPages + kPagesPerBitmapPage - 1) / kPagesPerBitmapPage;
constexpr unsigned char kInlineMap = 0x00;
constexpr unsigned char kIndirectMap = 0x01;
// Access's own inline maps are 64 bytes: the type, the first page, 59 bytes of bits.
constexpr std::size_t kInlineMapSize = 64;

}  // namespace

void PageSet::add(std::uint32_t page) {
  if (page / 8 >= bits_.size()) bits_.resize(page / 8 + 1, 0);
  bits_[page / 8] |= static_cast<unsigned char>(1u << (page % 8));
}

bool PageSet::anyIn(std::uint32_t first, std::uint32_t count) const {
  for (std::uint32_t p = first; p < first + count && p < end(); ++p)
    if (bits_[p / 8] & (1u << (p % 8))) return true;
  return false;
}

Page PageSet::bitmapPage(std::uint32_t first) const {
  Page page{};
  page[0] = kUsageBitmapPageType;
  page[1] = 0x01;
  for (std::uint32_t i = 0; i < kPagesPerBitmapPage && first + i < end(); ++i) {
    const std::uint32_t p = first + i;
    if (bits_[p / 8] & (1u << (p % 8)))
      page[4 + i / 8] |= static_cast<unsigned char>(1u << (i % 8));
  }
  return page;
}

std::vector<unsigned char> indirectMapRecord(const std::vector<std::uint32_t>& bitmapPages) {
  std::vector<unsigned char> record(1 + 4 * kSlots, 0);
  record[0] = kIndirectMap;
  for (std::size_t i = 0; i < bitmapPages.size() && i < kSlots; ++i)
    put32(&record[1 + 4 * i], bitmapPages[i]);
  return record;
}

std::vector<unsigned char> emptyInlineMapRecord(std::uint32_t firstPage) {
  std::vector<unsigned char> record(kInlineMapSize, 0);
  record[0] = kInlineMap;
  put32(&record[1], firstPage);
  return record;
}

}  // namespace kolt::access_writer
