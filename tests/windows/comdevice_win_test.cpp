// The Windows back-end of the serial device on a fake device: opening, line settings, writes in
// flight, and the reader thread's wait for communication events with its stop.
#include "testutil_fakewincomm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace rv58::test {
namespace {

struct Opened {
  std::shared_ptr<TFakeWinComm> fake = std::make_shared<TFakeWinComm>();
  TComDevicePtr device;
  std::string error;
  explicit Opened(const std::string& path = "COM7") { device = OpenWinComDevice(path, error, fake); }
};

TEST(WinComDevice, PortNamesOpenThroughTheDeviceNamespace) {
  const struct {
    const char* path;
    const wchar_t* opened;
  } cases[] = {
      {"COM7", L"\\\\.\\COM7"},
      {"COM10", L"\\\\.\\COM10"},
      {"COM256", L"\\\\.\\COM256"},
      {"com3", L"\\\\.\\com3"},
      {"\\\\.\\COM4", L"\\\\.\\COM4"},
      {"COMX", L"COMX"},
      {"C:\\dev\\ttyS0", L"C:\\dev\\ttyS0"},
  };
  for (const auto& c : cases) {
    Opened o(c.path);
    ASSERT_NE(o.device, nullptr) << c.path;
    EXPECT_EQ(o.fake->openedPath, c.opened) << c.path;
  }
}

TEST(WinComDevice, OpeningSetsTheProvisionalLineAndBothLinesLow) {
  Opened o;
  ASSERT_NE(o.device, nullptr);
  ASSERT_EQ(o.fake->states.size(), 1u);
  const DCB& d = o.fake->states[0];
  EXPECT_EQ(d.BaudRate, 9600u);
  EXPECT_EQ(d.ByteSize, 8);
  EXPECT_EQ(d.Parity, EVENPARITY);
  EXPECT_EQ(d.StopBits, ONESTOPBIT);
  EXPECT_TRUE(d.fBinary);
  EXPECT_FALSE(d.fOutxCtsFlow); // the driver's flow control is switched off
  EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
  EXPECT_EQ(d.XonChar, 0x11); // the driver's characters and limits stay
  EXPECT_EQ(d.XonLim, 2048);
  EXPECT_EQ(o.fake->timeouts.ReadIntervalTimeout, MAXDWORD); // reads never wait
  EXPECT_EQ(o.fake->timeouts.ReadTotalTimeoutConstant, 0u);
  const std::vector<std::string> expected = {"setup 0x200 0x200", "mask 0x1b9", "purge 0xf", "escape 0x6",
                                             "escape 0x4"};
  EXPECT_EQ(o.fake->calls, expected);
}

TEST(WinComDevice, APortThatCannotBeOpenedSaysWhy) {
  const struct {
    DWORD error;
    const char* text;
  } cases[] = {{ERROR_ACCESS_DENIED, kOpenBusy}, {ERROR_FILE_NOT_FOUND, kOpenMissing}};
  for (const auto& c : cases) {
    auto fake = std::make_shared<TFakeWinComm>();
    fake->FailOpen(c.error);
    std::string error;
    EXPECT_EQ(OpenWinComDevice("COM7", error, fake), nullptr);
    EXPECT_EQ(error, c.text);
  }
}

TEST(WinComDevice, LineSettingsAndModemLines) {
  Opened o;
  o.fake->RefuseBaud(12345);
  EXPECT_TRUE(o.device->SetLine(TLineSettings{2400, 7, 1, 2}));
  EXPECT_FALSE(o.device->SetLine(TLineSettings{12345, 8, 0, 0}));
  const DCB& d = o.fake->states.back();
  EXPECT_EQ(d.BaudRate, 2400u);
  EXPECT_EQ(d.ByteSize, 7);
  EXPECT_EQ(d.Parity, ODDPARITY);
  EXPECT_EQ(d.StopBits, TWOSTOPBITS);
  o.fake->calls.clear();
  EXPECT_TRUE(o.device->SetModemLine(TModemLine::mlDTR, true));
  EXPECT_TRUE(o.device->SetModemLine(TModemLine::mlRTS, true));
  EXPECT_TRUE(o.device->SetQueueSizes(8192, 4096));
  o.device->Close();
  o.device->Close();
  EXPECT_FALSE(o.device->SetModemLine(TModemLine::mlDTR, false)); // closed: no effect
  const std::vector<std::string> expected = {"escape 0x5", "escape 0x3", "setup 0x2000 0x1000", "close"};
  EXPECT_EQ(o.fake->calls, expected);
}

TEST(WinComDevice, WritesInFlightKeepTheirBytesUntilTheyFinishOrTheDeviceCloses) {
  Opened o;
  o.fake->HoldWrites(true);
  {
    std::string message = "<><,<<>";
    EXPECT_EQ(o.device->Write(message.data(), message.size()), 7);
    message.assign(message.size(), 'x'); // the caller's buffer is its own again at once
  }
  EXPECT_EQ(o.device->Write("AB", 2), 2);
  EXPECT_EQ(o.device->OutputQueued(), 9u);
  o.fake->CompleteWrites();
  EXPECT_EQ(o.fake->sent, "<><,<<>AB");
  EXPECT_EQ(o.device->OutputQueued(), 0u);
  // The drain bound discards what a stuck far end does not take, and the close cancels the rest.
  EXPECT_EQ(o.device->Write("CD", 2), 2);
  EXPECT_FALSE(DrainOutputBounded(*o.device, 9600, std::chrono::milliseconds(20)));
  o.device->Close();
  EXPECT_EQ(o.fake->sent, "<><,<<>AB");
  EXPECT_EQ(o.fake->calls.back(), "close");
}

TEST(WinComDevice, AWriteThatFailsOrIsCutShortInTheBackgroundIsLostOutput) {
  struct Row {
    const char* name;
    DWORD atMost;
    bool fail;
    bool lost;
  };
  for (const Row& row : {Row{"sent whole", MAXDWORD, false, false}, Row{"cut short", 3, false, true},
                         Row{"failed", MAXDWORD, true, true}}) {
    SCOPED_TRACE(row.name);
    Opened o;
    o.fake->HoldWrites(true);
    EXPECT_EQ(o.device->Write("<>ABCD", 6), 6);
    EXPECT_FALSE(o.device->OutputLost());
    o.fake->CompleteWrites(row.atMost, row.fail);
    EXPECT_TRUE(DrainOutputBounded(*o.device, 9600));
    EXPECT_EQ(o.device->OutputLost(), row.lost);
  }
}

// The reader thread's side: one WaitForEvents at a time on its own thread.
class WinComDeviceWait : public ::testing::Test {
protected:
  void StartWaiting() {
    waiter_ = std::thread([this] {
      std::uint32_t mask = 0;
      const TWaitResult r = o_.device->WaitForEvents(mask);
      mask_ = mask;
      result_ = static_cast<int>(r);
      done_ = true;
    });
  }
  void Finish() {
    if (waiter_.joinable())
      waiter_.join();
  }
  ~WinComDeviceWait() override {
    o_.device->RequestStop();
    Finish();
  }

  Opened o_;
  std::thread waiter_;
  std::atomic<std::uint32_t> mask_{0};
  std::atomic<int> result_{-1};
  std::atomic<bool> done_{false};
};

TEST_F(WinComDeviceWait, EventsThatCompleteTheWaitAreReportedWithTheirBytesAndErrors) {
  StartWaiting();
  ASSERT_TRUE(o_.fake->WaitUntilWaiting());
  EXPECT_FALSE(done_);
  o_.fake->SetModemLines(MS_CTS_ON | MS_RLSD_ON);
  o_.fake->Raise(EV_RXCHAR | EV_ERR | EV_BREAK, "AB\r\n", CE_FRAME);
  Finish();
  EXPECT_EQ(result_, static_cast<int>(TWaitResult::wrEvents));
  EXPECT_EQ(mask_, static_cast<std::uint32_t>(EV_RXCHAR | EV_ERR)); // break is not in the mask
  std::uint32_t queued = 0;
  ASSERT_TRUE(o_.device->QueryAndClearErrors(queued));
  EXPECT_EQ(queued, 4u);
  char buf[8] = {};
  EXPECT_EQ(o_.device->Read(buf, queued), 4);
  EXPECT_EQ(std::string(buf, 4), "AB\r\n");
  EXPECT_EQ(o_.device->ModemStatus(), static_cast<std::uint32_t>(MS_CTS_ON | MS_RLSD_ON));
  // Events that come while no wait is outstanding are reported by the next one at once.
  o_.fake->Raise(EV_DSR);
  std::uint32_t mask = 0;
  EXPECT_EQ(o_.device->WaitForEvents(mask), TWaitResult::wrEvents);
  EXPECT_EQ(mask, static_cast<std::uint32_t>(EV_DSR));
}

TEST_F(WinComDeviceWait, ResetEventsForgetsWhatCameBeforeButNotTheBytesQueued) {
  // A loop-back plug answered the lowering of DTR and RTS at the opening.
  o_.fake->Raise(EV_DSR | EV_CTS);
  o_.device->ResetEvents();
  StartWaiting();
  ASSERT_TRUE(o_.fake->WaitUntilWaiting());
  EXPECT_FALSE(done_);
  o_.device->RequestStop();
  Finish();
  EXPECT_EQ(result_, static_cast<int>(TWaitResult::wrStop));
  // Bytes that arrived before the reset are still announced.
  Opened other;
  other.fake->Raise(EV_RXCHAR | EV_DSR, "A");
  other.device->ResetEvents();
  std::uint32_t mask = 0;
  EXPECT_EQ(other.device->WaitForEvents(mask), TWaitResult::wrEvents);
  EXPECT_EQ(mask, evRXCHAR);
  other.device->RequestStop();
}

TEST_F(WinComDeviceWait, TheStopRequestEndsAnOutstandingWaitAndIsNeverLost) {
  StartWaiting();
  ASSERT_TRUE(o_.fake->WaitUntilWaiting());
  o_.device->RequestStop();
  Finish();
  EXPECT_EQ(result_, static_cast<int>(TWaitResult::wrStop));
  EXPECT_EQ(o_.fake->calls.back(), "mask 0x0"); // the zero mask completed the wait
  // A request that came before a wait starts stops it without waiting.
  std::uint32_t mask = 0;
  EXPECT_EQ(o_.device->WaitForEvents(mask), TWaitResult::wrStop);
  EXPECT_EQ(o_.fake->waitCalls, 1);
}

TEST_F(WinComDeviceWait, AVanishedDeviceIsNotWaitedOnAgainUntilTheStop) {
  o_.fake->Vanish();
  StartWaiting();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(done_);
  EXPECT_EQ(o_.fake->waitCalls, 1); // no spinning on a wait that fails at once
  std::uint32_t queued = 0;
  EXPECT_FALSE(o_.device->QueryAndClearErrors(queued));
  EXPECT_EQ(o_.device->ModemStatus(), 0u);
  o_.device->RequestStop();
  Finish();
  EXPECT_EQ(result_, static_cast<int>(TWaitResult::wrStop));
}

} // namespace
} // namespace rv58::test
