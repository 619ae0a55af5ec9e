#pragma once
// A full disk on demand (POSIX only: the file size limit of the process).

#include <cstdint>
#include <functional>

namespace rv58::test {

// Runs `write` while files may grow to `limit` bytes only, as on a full disk; the limit and the
// signal it raises are restored afterwards. Call it inside ASSERT_NO_FATAL_FAILURE.
void WithFileSizeLimit(std::uint64_t limit, const std::function<void()>& write);

} // namespace rv58::test
