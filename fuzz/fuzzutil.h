#pragma once
// Shared by the fuzz targets: a failed property aborts with its description, and a private
// folder for targets that go through real files (on tmpfs when there is one, so that the
// flushes of the atomic writes cost nothing).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace rv58::fuzz {

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
  }
}

inline const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    std::string base =
        ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path().string();
    std::string tmpl = base + "/rv58-fuzz-XXXXXX";
    if (!::mkdtemp(tmpl.data()))
      std::abort();
    std::filesystem::path p(tmpl);
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    return p;
  }();
  return folder;
}

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  Check(f != nullptr, "the fuzz folder is writable");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::string out;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
      out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

// What a reader gets for a stored value: blanks trimmed, one pair of outer quotes stripped, at
// most 2047 bytes.
inline std::string StoredValue(std::string_view v) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v'; };
  while (!v.empty() && blank(v.front()))
    v.remove_prefix(1);
  while (!v.empty() && blank(v.back()))
    v.remove_suffix(1);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return std::string(v.substr(0, 2047));
}

} // namespace rv58::fuzz
