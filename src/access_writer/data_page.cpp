#include "access_writer/data_page.h"

namespace kolt::access_writer {
namespace {

constexpr std::size_t kRowCountOffset = 12;
constexpr std::size_t kHeaderSize = 14;
constexpr unsigned kMaxRowsPerPage = 256;  // a row address keeps one byte for the slot

}  // namespace

DataPage::DataPage(std::uint32_t owner) : owner_(owner) {
  clear();
}

void DataPage::clear() {
  page_.fill(0);
  page_[0] = kDataPageType;
  page_[1] = 0x01;
  put32(&page_[4], owner_);
  rows_ = 0;
  end_ = kPageSize;
  put16(&page_[2], static_cast<std::uint16_t>(kPageSize - kHeaderSize));
}

bool DataPage::fits(std::size_t rowSize) const {
  const std::size_t used = kHeaderSize + 2 * (rows_ + 1);
  return rows_ < kMaxRowsPerPage && used + rowSize <= end_;
}

unsigned DataPage::add(std::span<const unsigned char> row) {
  end_ -= row.size();
  std::memcpy(&page_[end_], row.data(), row.size());
  put16(&page_[kHeaderSize + 2 * rows_], static_cast<std::uint16_t>(end_));
  ++rows_;
  put16(&page_[kRowCountOffset], static_cast<std::uint16_t>(rows_));
  put16(&page_[2], static_cast<std::uint16_t>(end_ - kHeaderSize - 2 * rows_));
  return rows_ - 1;
}

}  // namespace kolt::access_writer
