#pragma once
// A fresh temporary folder that cleans up after itself (no test framework needed: the benchmarks
// use it too).

#include <filesystem>
#include <string>

namespace rv58::test {

// A fresh folder <base>/<stem>.<random> (base: the system's temporary folder), readable by its
// owner only, removed with everything in it (what a test made read-only included).
class TempDir {
public:
  explicit TempDir(const std::string& stem = "rv58cfg",
                   const std::filesystem::path& base = std::filesystem::temp_directory_path());
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

private:
  std::filesystem::path path_;
};

} // namespace rv58::test
