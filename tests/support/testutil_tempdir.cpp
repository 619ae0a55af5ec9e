#include "testutil_tempdir.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <stdexcept>

namespace rv58::test {

namespace fs = std::filesystem;

TempDir::TempDir(const std::string& stem, const fs::path& base) {
  std::mt19937_64 random(
      std::random_device{}() ^
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%06llx", static_cast<unsigned long long>(random() & 0xFFFFFF));
    const fs::path candidate = base / (stem + "." + suffix);
    std::error_code ec;
    // Creating the folder is the test of whether the name is free.
    if (fs::create_directory(candidate, ec)) {
      fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, ec);
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("no temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  // Folders a test closed are opened again before they are entered; Windows removes no read-only
  // file.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_symlink(ec))
      continue;
    fs::permissions(it->path(), it->is_directory(ec) ? fs::perms::owner_all : fs::perms::owner_write,
                    fs::perm_options::add, ec);
  }
  ec.clear();
  fs::remove_all(path_, ec);
}

} // namespace rv58::test
