#pragma once
// The fixture of the tests of TComPort on the fake device: a port whose openings each take a new
// fake device (or fail on request), with a loop-back plug when asked.

#include "ComPort.h"
#include "handoff.h"
#include "testutil_fakedevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rv58::test {

using namespace std::chrono_literals;

class FakePort : public ::testing::Test {
protected:
  FakePort()
      : port(handOff, [this](const std::string& path, std::string& error) -> TComDevicePtr {
          paths.push_back(path);
          if (failOpen) {
            error = "busy";
            return nullptr;
          }
          devices.push_back(std::make_shared<TFakeComDevice>());
          if (loopBack) {
            // As the Linux back-end opens a port: the kernel raises both lines, the back-end
            // lowers them again; the plug echoes each change.
            devices.back()->loopBack = true;
            for (const bool on : {true, false}) {
              devices.back()->SetModemLine(TModemLine::mlDTR, on);
              devices.back()->SetModemLine(TModemLine::mlRTS, on);
            }
          }
          return devices.back();
        }) {
    port.Port = "/dev/fake0";
  }

  TFakeComDevice& device() { return *devices.back(); }

  // Serves hand-offs until `done` holds (generous bound; a failure shows as false).
  bool ServeUntil(const std::function<bool()>& done) { return handOff.ServeUntil(done, 10s); }

  // Lets the reader thread reach its next wait, so the next event is one completed wait.
  void Settle() { ASSERT_TRUE(device().WaitUntilWaiting()); }

  void CollectReceived() {
    port.ReceiveCallBack = [this](const std::string& data) { received.push_back(data); };
  }

  THandOff handOff;
  std::vector<std::string> paths;
  std::vector<std::shared_ptr<TFakeComDevice>> devices;
  bool failOpen = false;
  bool loopBack = false;
  TComPort port;
  std::vector<std::string> received;
};

} // namespace rv58::test
