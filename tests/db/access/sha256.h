// SHA-256 of a byte string, as lower-case hex: the dumps identify binary values by it.
#pragma once

#include <string>
#include <vector>

namespace kolt::test {

std::string sha256Hex(const std::vector<unsigned char>& bytes);

}  // namespace kolt::test
