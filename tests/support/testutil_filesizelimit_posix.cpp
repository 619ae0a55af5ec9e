#include "testutil_filesizelimit.h"

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>

namespace rv58::test {

void WithFileSizeLimit(std::uint64_t limit, const std::function<void()>& write) {
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = static_cast<rlim_t>(limit);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  write();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
}

} // namespace rv58::test
