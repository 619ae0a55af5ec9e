// Port detection: a fake machine with 64 serial devices, this machine (the sources never open a
// device), and a large "Ports" section of the preferences file.
#include "portdetect_faketree.h"
#include "unitportdetect.h"

#include <benchmark/benchmark.h>

#include <fstream>

namespace {

using rv58::test::FakeSystem;

// 64 serial devices: 32 8250 slots (4 with a UART), 16 USB adapters, 8 modems, 8 Bluetooth ports,
// beside 64 virtual consoles, with their /dev nodes and a few by-id links.
FakeSystem& SixtyFourDevices() {
  static FakeSystem fake;
  static bool built = false;
  if (!built) {
    for (int line = 0; line < 32; ++line)
      fake.Serial8250Slot(line, line < 4 ? 4 : 0);
    for (int n = 0; n < 16; ++n)
      fake.UsbSerial("1-" + std::to_string(n + 1), "ttyUSB" + std::to_string(n), "FT232R USB UART", "FTDI");
    for (int n = 0; n < 8; ++n)
      fake.UsbAcm("2-" + std::to_string(n + 1), "ttyACM" + std::to_string(n), "Arduino Uno", "Arduino SA");
    for (int n = 0; n < 8; ++n)
      fake.Rfcomm(n, "00:1A:7D:DA:71:1" + std::to_string(n), n + 1);
    for (int n = 0; n < 64; ++n)
      fake.VirtualTty("tty" + std::to_string(n));
    for (int n = 0; n < 16; ++n)
      fake.Node("ttyUSB" + std::to_string(n));
    fake.Link("dev/serial/by-id/usb-FTDI_A", "dev/ttyUSB3");
    built = true;
  }
  return fake;
}

void BM_DetectPorts_FakeTree64(benchmark::State& state) {
  auto& fake = SixtyFourDevices();
  const auto sys = fake.System();
  const auto explicitPorts = rv58::ParseExplicitPorts({{"COM3", "/dev/serial/by-id/usb-FTDI_A"}});
  std::array<rv58::TDetectedPort, rv58::kMaxPortNumber> table;
  int found = 0;
  for (auto _ : state) {
    rv58::DetectPorts({sys, explicitPorts}, table, 255);
    benchmark::DoNotOptimize(table.data());
  }
  for (const auto& entry : table)
    found += entry.Description.empty() ? 0 : 1;
  state.counters["ports"] = found;
}
BENCHMARK(BM_DetectPorts_FakeTree64)->Unit(benchmark::kMicrosecond);

void BM_DetectPorts_ThisMachine(benchmark::State& state) {
  rv58::TPortSystem sys; // root "/"
  std::array<rv58::TDetectedPort, rv58::kMaxPortNumber> table;
  for (auto _ : state) {
    rv58::DetectPorts({sys, {}}, table, 255);
    benchmark::DoNotOptimize(table.data());
  }
  int found = 0;
  for (const auto& entry : table)
    found += entry.Description.empty() ? 0 : 1;
  state.counters["ports"] = found;
}
BENCHMARK(BM_DetectPorts_ThisMachine)->Unit(benchmark::kMicrosecond);

// A preferences file whose "Ports" section holds n keys (a few port names among much else), read
// as at every start, every refresh and every rv58ctl command.
void BM_LoadPortNames(benchmark::State& state) {
  FakeSystem folder;
  const std::string ini = folder.Root() + "/rv58led.ini";
  {
    std::ofstream out(ini, std::ios::binary);
    out << "[FormPos]\r\nLeft=10\r\n[Ports]\r\n";
    for (int i = 0; i < state.range(0); ++i)
      out << (i % 100 == 0 ? "COM" + std::to_string(i / 100 + 1) : "key" + std::to_string(i)) << "=/dev/pts/"
          << i << "\r\n";
    out << "[RV5]\r\nbd=9600\r\n";
  }
  std::size_t entries = 0;
  for (auto _ : state) {
    const rv58::TPortNames names = rv58::LoadPortNames(ini);
    entries = names.explicitPorts.size();
    benchmark::DoNotOptimize(names.explicitPorts.data());
  }
  state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_LoadPortNames)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
