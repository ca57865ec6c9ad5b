// Sheet names as Excel accepts them: 1 to 31 characters, none of []:*?/\ or control characters,
// no apostrophe first or last, and no two alike without regard to letter case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kolt::xls::biff8 {

inline constexpr std::size_t kMaxSheetName = 31;

// `requested` with the forbidden characters replaced by "_"; "Hoja" when it is empty. Not yet cut.
std::u16string cleanSheetName(std::u16string_view requested);

// The name of part `part` (1, 2, ...) of the sheet `base` (already clean): `base` for the first
// part, "{base} (n)" for part n, cut to fit. When that name is taken (or reserved by Excel), a
// further " (k)" is added, counting from 2 until the name is free.
std::u16string claimSheetName(std::u16string_view base, std::size_t part,
                              const std::vector<std::u16string>& taken);

}  // namespace kolt::xls::biff8
