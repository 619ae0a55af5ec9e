// Settings file round trip, the configuration message, and loading a large settings file.
#include "displaysettings.h"
#include "inifile.h"
#include "message.h"
#include "settingsfile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class BenchFolder {
public:
  BenchFolder() {
    std::string tmpl = (fs::temp_directory_path() / "rv58bench.XXXXXX").string();
    if (::mkdtemp(tmpl.data()) != nullptr)
      path_ = tmpl;
  }
  ~BenchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
  fs::path path_;
};

rv58::DisplaySettings Sample() {
  rv58::DisplaySettings s = rv58::DisplaySettings::Defaults();
  s.SetComport_up("COM3");
  s.SetLeiras("M\xE9rleg a rakt\xE1rban\r\nm\xE1sodik sor\r\n");
  return s;
}

// savefile into a new file (18 atomic writes, each flushed to disk) + loadfile.
void BM_SavefileLoadfileRoundTrip(benchmark::State& state) {
  BenchFolder dir;
  const std::string path = dir.File("f.rv5");
  rv58::TIniFile file(path);
  const rv58::DisplaySettings settings = Sample();
  const std::vector<std::string> ports = {"COM1", "COM3"};
  for (auto _ : state) {
    std::error_code ec;
    fs::remove(path, ec);
    if (!rv58::savefile(settings, file))
      state.SkipWithError("savefile failed");
    rv58::DisplaySettings back = rv58::DisplaySettings::Initial();
    rv58::loadfile(back, file, ports);
    benchmark::DoNotOptimize(back);
  }
}
BENCHMARK(BM_SavefileLoadfileRoundTrip)->Unit(benchmark::kMillisecond);

// The same into an existing file that already holds these settings (nothing to rewrite).
void BM_SavefileUnchangedLoadfile(benchmark::State& state) {
  BenchFolder dir;
  rv58::TIniFile file(dir.File("f.rv5"));
  const rv58::DisplaySettings settings = Sample();
  const std::vector<std::string> ports = {"COM1", "COM3"};
  rv58::savefile(settings, file);
  for (auto _ : state) {
    if (!rv58::savefile(settings, file))
      state.SkipWithError("savefile failed");
    rv58::DisplaySettings back = rv58::DisplaySettings::Initial();
    rv58::loadfile(back, file, ports);
    benchmark::DoNotOptimize(back);
  }
}
BENCHMARK(BM_SavefileUnchangedLoadfile)->Unit(benchmark::kMillisecond);

void BM_Loadfile(benchmark::State& state) {
  BenchFolder dir;
  rv58::TIniFile file(dir.File("f.rv5"));
  rv58::savefile(Sample(), file);
  const std::vector<std::string> ports = {"COM1", "COM3"};
  for (auto _ : state) {
    rv58::DisplaySettings back = rv58::DisplaySettings::Initial();
    rv58::loadfile(back, file, ports);
    benchmark::DoNotOptimize(back);
  }
}
BENCHMARK(BM_Loadfile)->Unit(benchmark::kMicrosecond);

void BM_ConfigurationMessage(benchmark::State& state) {
  const rv58::DisplaySettings settings = Sample();
  for (auto _ : state) {
    std::string m = rv58::ConfigurationMessage(settings);
    benchmark::DoNotOptimize(m);
  }
}
BENCHMARK(BM_ConfigurationMessage);

// 1 MB of unknown sections, with the settings at the end.
void BM_LoadfileLargeFile(benchmark::State& state) {
  BenchFolder dir;
  const std::string path = dir.File("big.rv5");
  {
    std::ofstream out(path, std::ios::binary);
    std::size_t written = 0;
    for (int i = 0; written < 1024 * 1024; ++i) {
      const std::string block = "[Unknown" + std::to_string(i) +
                                "]\r\nbd=1\r\npr=2\r\n; comment\r\nname=value " + std::to_string(i) +
                                "\r\n\r\n";
      out << block;
      written += block.size();
    }
    out << "[RV5]\r\nbd=7\r\nhk=65\r\n";
  }
  const rv58::TIniFile file(path);
  const std::vector<std::string> ports = {"COM1"};
  for (auto _ : state) {
    rv58::DisplaySettings back = rv58::DisplaySettings::Initial();
    rv58::loadfile(back, file, ports);
    if (back.bd() != 7)
      state.SkipWithError("settings not found");
    benchmark::DoNotOptimize(back);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(fs::file_size(path)));
}
BENCHMARK(BM_LoadfileLargeFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
