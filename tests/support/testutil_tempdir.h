#pragma once
// A fresh temporary folder that cleans up after itself (no test framework needed: the benchmarks
// use it too).

#include <filesystem>
#include <string>

namespace rv58::test {

// A fresh folder <temp>/<stem>.<random>, readable by its owner only, removed with everything in
// it (folders a test made read-only included).
class TempDir {
public:
  explicit TempDir(const std::string& stem = "rv58cfg");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

private:
  std::filesystem::path path_;
};

} // namespace rv58::test
