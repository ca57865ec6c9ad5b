// A file replaced whole: written under a temporary name beside its target, then renamed over it.
// Whoever opens the target, and whatever stops the program (a crash, a kill, a full disk), finds
// the old file or the new one, never a torn one.
#pragma once

#include <filesystem>
#include <functional>
#include <system_error>

namespace kolt::base {

// Runs `write`, which makes `temporary` (beside `target`, so the rename stays on one disk) and
// puts it on disk, then renames `temporary` over `target`. Returns the rename's error, for the
// caller's own message; what `write` throws passes on. Either way, `temporary` is removed unless it
// became `target`. An empty `write` puts an existing `temporary` in place.
std::error_code replaceFile(const std::filesystem::path& temporary,
                            const std::filesystem::path& target,
                            const std::function<void()>& write = {});

// A name beside `target` that no other process uses: "{target}.tmp-{pid}-{n}". Temporaries of the
// same target left by a process that no longer runs (one that was killed) are removed first, with
// their journals, so they never pile up beside the user's file.
std::filesystem::path temporaryNameFor(const std::filesystem::path& target);

}  // namespace kolt::base
