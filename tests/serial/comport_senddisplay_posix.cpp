// The shared transmission routine: its sequence, its pauses and hooks, and its bytes on a pty.
#include "ComPort.h"
#include "senddisplay.h"
#include "testutil_fakedevice.h"
#include "testutil_ptydisplay.h"

#include <gtest/gtest.h>

namespace rv58 {
namespace {

using test::TFakeComDevice;

class SendToDisplayFake : public ::testing::Test {
protected:
  SendToDisplayFake()
      : port(handOff, [this](const std::string& path, std::string&) -> TComDevicePtr {
          openedPath = path;
          if (failOpen)
            return nullptr;
          device = std::make_shared<TFakeComDevice>();
          return device;
        }) {
    hooks.Sleep = [this](int ms) { Log("sleep " + std::to_string(ms)); };
    hooks.ProcessMessages = [this] { Log("process"); };
    hooks.SetBusy = [this](bool busy) { Log(busy ? "busy" : "normal cursor"); };
    hooks.EnableSendButtons = [this](bool on) { Log(on ? "buttons on" : "buttons off"); };
  }

  // Each step with what the line has seen by then.
  void Log(const std::string& step) {
    std::string line = step;
    if (device) {
      line += " [";
      for (const auto& w : device->Writes())
        line += w + "|";
      for (const auto& [which, on] : device->ModemLineCalls())
        line += std::string(which == TModemLine::mlDTR ? "DTR" : "RTS") + (on ? "+" : "-");
      line += port.Active() ? "] open" : "] closed";
    }
    log.push_back(line);
  }

  THandOff handOff;
  std::shared_ptr<TFakeComDevice> device;
  std::string openedPath;
  bool failOpen = false;
  TComPort port;
  TSendHooks hooks;
  std::vector<std::string> log;
};

TEST_F(SendToDisplayFake, SendsPreambleThenMessageWithItsPausesAndCloses) {
  EXPECT_EQ(srSENT, SendToDisplay(port, "/dev/fake9", 9600, false, "<,<<>", hooks));
  EXPECT_EQ(openedPath, "/dev/fake9");
  EXPECT_EQ(port.Port, "/dev/fake9");
  EXPECT_EQ(device->LineInForce().Baud, 9600u);
  const std::vector<std::string> expected = {
      "buttons off [] open",           "busy [] open",
      "sleep 10 [<>|] open",           "process [<>|<,<<>|] open",
      "sleep 100 [<>|<,<<>|] open",    "process [<>|<,<<>|] closed",
      "sleep 10 [<>|<,<<>|] closed",   "normal cursor [<>|<,<<>|] closed",
      "buttons on [<>|<,<<>|] closed",
  };
  EXPECT_EQ(log, expected);
  EXPECT_TRUE(device->Closed());
  EXPECT_EQ(device->Sent(), "<><,<<>"); // all of it left before the device closed
}

TEST_F(SendToDisplayFake, DtrPulseComesFirstWithItsSilence) {
  EXPECT_EQ(srSENT, SendToDisplay(port, "/dev/fake9", 2400, true, "<,x,>", hooks));
  EXPECT_EQ(device->LineInForce().Baud, 2400u);
  const std::vector<std::string> expected = {
      "busy [] open",
      "sleep 50 [DTR+] open",
      "sleep 2500 [DTR+DTR-] open",
      "normal cursor [DTR+DTR-] open",
      "buttons off [DTR+DTR-] open",
      "busy [DTR+DTR-] open",
      "sleep 10 [<>|DTR+DTR-] open",
      "process [<>|<,x,>|DTR+DTR-] open",
      "sleep 100 [<>|<,x,>|DTR+DTR-] open",
      "process [<>|<,x,>|DTR+DTR-] closed",
      "sleep 10 [<>|<,x,>|DTR+DTR-] closed",
      "normal cursor [<>|<,x,>|DTR+DTR-] closed",
      "buttons on [<>|<,x,>|DTR+DTR-] closed",
  };
  EXPECT_EQ(log, expected);
}

TEST_F(SendToDisplayFake, PortThatCannotBeOpenedTouchesNothing) {
  failOpen = true;
  int errors = 0;
  port.OnError = [&](TComPort&) { ++errors; };
  EXPECT_EQ(srNOTOPEN, SendToDisplay(port, "/dev/fake9", 2400, true, "<,<<>", hooks));
  EXPECT_TRUE(log.empty()); // no cursor, no buttons, no pauses
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(port.Baud, 2400u);
  EXPECT_FALSE(port.Active());
}

TEST_F(SendToDisplayFake, BytesThatDoNotAllLeaveAreAFailedTransmission) {
  struct Case {
    const char* what;
    std::function<void(TFakeComDevice&)> atOpen;
    int vanishAtSleep; // the pause after "<>" (10) or after the message (100); 0: never
  };
  const Case cases[] = {
      {"write cut short", [](TFakeComDevice& d) { d.acceptAtMost = 3; }, 0},
      {"write lost after it was taken", [](TFakeComDevice& d) { d.outputLost = true; }, 0},
      {"hang-up before the writes (they fail)", [](TFakeComDevice& d) { d.Vanish(); }, 0},
      {"hang-up between the writes", nullptr, 10},
      {"hang-up after the writes", nullptr, 100},
      {"output not drained in time", [](TFakeComDevice& d) { d.SetOutputStuck(true); }, 0},
  };
  int vanishAt = 0;
  for (const Case& c : cases) {
    vanishAt = c.vanishAtSleep;
    port.OnPortOpen = [&](TComPort&) {
      if (c.atOpen)
        c.atOpen(*device);
    };
    hooks.Sleep = [&](int ms) {
      if (ms == vanishAt)
        device->Vanish();
    };
    EXPECT_EQ(srFAILED, SendToDisplay(port, "/dev/fake9", 9600, false, "<,<<>", hooks)) << c.what;
    EXPECT_FALSE(port.Active()) << c.what;
    EXPECT_TRUE(device->Closed()) << c.what;
  }
  // The next transmission starts afresh.
  port.OnPortOpen = nullptr;
  vanishAt = 0;
  EXPECT_EQ(srSENT, SendToDisplay(port, "/dev/fake9", 9600, false, "<,<<>", hooks));
}

TEST(SendToDisplayPty, DefaultHooksSendTheBytesToThePseudoTerminal) {
  test::TPtyDisplay display;
  TComPort port{THandOff()};
  const std::string message = "<,9600,3,13,13,0,0,0,0,0,114,ERROR,1,0,0,>";
  EXPECT_EQ(srSENT, SendToDisplay(port, display.SlavePath(), 2400, false, message));
  EXPECT_FALSE(port.Active());
  ASSERT_TRUE(display.WaitForBytes(2 + message.size()));
  EXPECT_EQ(display.WaitQuiet(std::chrono::milliseconds(50)), "<>" + message);
  const termios t = display.LineSettings();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B2400));
}

} // namespace
} // namespace rv58
