// Page 0 of an Access (Jet) file: where the fields that readers and writers use lie, and the fixed
// masking of its middle part. The importer reads it and the Access writer makes it; both take the
// layout from here so they cannot drift apart.
#pragma once

#include <cstddef>

namespace kolt::access::jet_header {

inline constexpr std::size_t kVersionOffset = 0x14;  // 0: Jet 3; 1: Jet 4; later: Access 2007 on
inline constexpr std::size_t kMaskedStart = 0x18;
inline constexpr std::size_t kMaskedLength = 128;
inline constexpr std::size_t kCodePageOffset = 0x3C;
inline constexpr std::size_t kPasswordOffset = 0x42;
inline constexpr std::size_t kCreationDateOffset = 0x72;

// The kMaskedLength bytes from kMaskedStart are stored XOR-ed with an RC4 stream of a fixed key, so
// masking and unmasking are the same step. `page` must hold at least kMaskedStart + kMaskedLength
// bytes.
void toggleMask(unsigned char* page);

}  // namespace kolt::access::jet_header
