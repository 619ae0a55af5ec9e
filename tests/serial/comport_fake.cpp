// TComPort and TCommThread over a fake device: events, receive modes, status lines, line errors,
// closing in every situation, the closing drain.
#include "ComPort.h"
#include "comport_fakeport.h"
#include "portnames.h"
#include "testutil_threadpriority.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace rv58 {
namespace {

using namespace std::chrono_literals;
using test::FakePort;
using test::TFakeComDevice;

TEST_F(FakePort, OpenAndCloseAreIdempotentAndFireTheirEventsOnce) {
  int opens = 0, closes = 0;
  bool activeInOpen = false, activeInClose = true;
  port.OnPortOpen = [&](TComPort& sender) {
    ++opens;
    activeInOpen = sender.Active();
    EXPECT_EQ(&sender, &port);
  };
  port.OnPortClose = [&](TComPort& sender) {
    ++closes;
    activeInClose = sender.Active();
  };
  port.Close();
  EXPECT_EQ(closes, 0);
  port.Open();
  port.Open();
  EXPECT_TRUE(port.Active());
  EXPECT_EQ(opens, 1);
  EXPECT_EQ(devices.size(), 1u);
  EXPECT_TRUE(activeInOpen);
  port.Close();
  port.Close();
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(activeInClose);
  EXPECT_TRUE(device().Closed());
  EXPECT_TRUE(device().StopRequested());
  // A new opening takes a new device.
  port.Open();
  EXPECT_EQ(devices.size(), 2u);
  EXPECT_EQ(opens, 2);
  port.Close(); // while the handlers' counters still exist
}

TEST_F(FakePort, DeviceThatCannotBeOpenedFiresOnErrorAndStaysClosed) {
  failOpen = true;
  int errors = 0, opens = 0;
  port.OnError = [&](TComPort& sender) {
    ++errors;
    EXPECT_FALSE(sender.Active());
  };
  port.OnPortOpen = [&](TComPort&) { ++opens; };
  port.Open();
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(opens, 0);
  port.SendString("x"); // nothing to write to, nothing raised
  port.Close();
}

TEST_F(FakePort, PortNameWithoutDeviceIsAnOpenFailure) {
  if (!port.PortNames.DevicePath("COM256").empty())
    GTEST_SKIP() << "COM256 stands for a device on this machine";
  int errors = 0;
  port.OnError = [&](TComPort&) { ++errors; };
  port.Port = "COM256";
  port.Open();
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(errors, 1);
  EXPECT_TRUE(paths.empty()); // no device was even tried
}

TEST_F(FakePort, OpenAppliesTheLineSettingsLaterChangesWaitForTheNextOpen) {
  port.Baud = 2400;
  port.DataBits = 7;
  port.Parity = ptODD;
  port.StopBits = sbTWO;
  port.Open();
  auto line = device().LineInForce();
  EXPECT_EQ(line.Baud, 2400u);
  EXPECT_EQ(line.DataBits, 7);
  EXPECT_EQ(line.Parity, 1);
  EXPECT_EQ(line.StopBits, 2);
  port.Baud = 9600;
  EXPECT_EQ(device().LineInForce().Baud, 2400u);
  port.Close();
  port.Open();
  EXPECT_EQ(device().LineInForce().Baud, 9600u);
}

TEST_F(FakePort, RefusedSettingsStillGiveAnActivePortOnTheProvisionalLine) {
  TComPort refusing(handOff, [this](const std::string&, std::string&) -> TComDevicePtr {
    auto d = std::make_shared<TFakeComDevice>();
    d->RefuseLineSettings(true);
    devices.push_back(d);
    return d;
  });
  refusing.Port = "/dev/fake1";
  refusing.Baud = 12345;
  refusing.Open();
  EXPECT_TRUE(refusing.Active());
  ASSERT_EQ(device().LineSettingsApplied().size(), 1u);
  EXPECT_EQ(device().LineSettingsApplied()[0].Baud, 12345u);
  const auto line = device().LineInForce(); // the provisional 9600 8E1
  EXPECT_EQ(line.Baud, 9600u);
  EXPECT_EQ(line.DataBits, 8);
  EXPECT_EQ(line.Parity, 2);
  EXPECT_EQ(line.StopBits, 0);
}

TEST_F(FakePort, SendStringQueuesExactlyTheBytesInCallOrder) {
  port.Open();
  port.SendString("<>");
  port.SendString("");
  port.SendString(std::string("a\0b\r\n\xff", 6));
  const auto writes = device().Writes();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0], "<>");
  EXPECT_EQ(writes[1], ""); // an empty string is a zero-length write
  EXPECT_EQ(writes[2], std::string("a\0b\r\n\xff", 6));
}

TEST_F(FakePort, SetDtrAndSetRtsDriveTheLinesOnlyWhileActive) {
  port.SetDTR(true);
  port.Open();
  port.SetDTR(true);
  port.SetDTR(false);
  port.SetRTS(true);
  auto device0 = devices.back();
  port.Close();
  port.SetRTS(false);
  const auto calls = device0->ModemLineCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0], std::make_pair(TModemLine::mlDTR, true));
  EXPECT_EQ(calls[1], std::make_pair(TModemLine::mlDTR, false));
  EXPECT_EQ(calls[2], std::make_pair(TModemLine::mlRTS, true));
}

TEST_F(FakePort, RawModeDeliversEveryArrivalAlsoAnEmptyOne) {
  port.ReceiveMode = rmRAW;
  CollectReceived();
  port.Open();
  Settle();
  device().Inject("ab\r");
  ASSERT_TRUE(ServeUntil([&] { return received.size() == 1; }));
  Settle();
  device().Inject(""); // an arrival whose bytes were already read by an earlier dispatch
  ASSERT_TRUE(ServeUntil([&] { return received.size() == 2; }));
  EXPECT_EQ(received[0], "ab\r");
  EXPECT_EQ(received[1], "");
}

TEST_F(FakePort, ReceiveGapHoldsWhatArrivesDuringThePauseAndCloseEndsThePause) {
  port.ReceiveMode = rmRAW;
  port.ReceiveGap = std::chrono::hours(1);
  CollectReceived();
  port.Open();
  Settle();
  device().Inject("ST,GS");
  ASSERT_TRUE(ServeUntil([&] { return received.size() == 1; })); // after a quiet line: at once
  device().Inject(",+0001.23kg\r\n");
  EXPECT_FALSE(handOff.ServeUntil([&] { return received.size() == 2; }, 300ms)); // held
  port.Close(); // does not wait for the pause to run out
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(received, std::vector<std::string>{"ST,GS"});
}

TEST_F(FakePort, TermModeDeliversOneMessagePerArrivalIncludingTheTerminator) {
  CollectReceived();
  port.Open();
  Settle();
  device().Inject("A\r\nB\r\n");
  ASSERT_TRUE(ServeUntil([&] { return received.size() == 1; }));
  EXPECT_EQ(received[0], "A\r\n");
  EXPECT_EQ(port.PendingReceive(), "B\r\n");
  Settle();
  device().Inject("");
  ASSERT_TRUE(ServeUntil([&] { return received.size() == 2; }));
  EXPECT_EQ(received[1], "B\r\n");
  EXPECT_EQ(port.PendingReceive(), "");
}

TEST_F(FakePort, TermModeJoinsATerminatorSplitAcrossArrivals) {
  CollectReceived();
  port.Open();
  Settle();
  device().Inject("12.5 kg\r");
  ASSERT_TRUE(ServeUntil([&] { return port.PendingReceive() == "12.5 kg\r"; }));
  EXPECT_TRUE(received.empty());
  Settle();
  device().Inject("\n");
  ASSERT_TRUE(ServeUntil([&] { return received.size() == 1; }));
  EXPECT_EQ(received[0], "12.5 kg\r\n");
}

TEST_F(FakePort, TermModeNeedsTheWholeTerminatorInOrder) {
  CollectReceived();
  port.Open();
  Settle();
  device().Inject("AB\rC\n");
  ASSERT_TRUE(ServeUntil([&] { return port.PendingReceive() == "AB\rC\n"; }));
  EXPECT_TRUE(received.empty());
}

TEST_F(FakePort, TermModeUsesTheCurrentTerminator) {
  CollectReceived();
  port.SetTerminator("#3");
  port.Open();
  Settle();
  device().Inject("x\r\ny\x03z");
  ASSERT_TRUE(ServeUntil([&] { return received.size() == 1; }));
  EXPECT_EQ(received[0], "x\r\ny\x03");
  EXPECT_EQ(port.PendingReceive(), "z");
}

TEST_F(FakePort, DataWithoutReceiveCallBackIsConsumedAndDropped) {
  port.Open();
  Settle();
  device().Inject("lost\r\n");
  ASSERT_TRUE(ServeUntil([&] { return handOff.Served() >= 1; }));
  Settle();
  CollectReceived();
  device().Inject("ok\r\n");
  ASSERT_TRUE(ServeUntil([&] { return received.size() == 1; }));
  EXPECT_EQ(received[0], "ok\r\n");
  EXPECT_EQ(port.PendingReceive(), "");
}

TEST_F(FakePort, PendingReceiveKeepsAtMost64KiBDroppingTheOldestBytes) {
  CollectReceived();
  port.Open();
  Settle();
  std::string flood(100 * 1024, 'x');
  flood[0] = 'F'; // the oldest byte, which must go
  device().Inject(flood);
  ASSERT_TRUE(ServeUntil([&] { return !port.PendingReceive().empty(); }));
  EXPECT_EQ(port.PendingReceive().size(), kMaxPendingReceive);
  EXPECT_EQ(port.PendingReceive().find('F'), std::string::npos);
  Settle();
  device().Inject("end\r\n");
  ASSERT_TRUE(ServeUntil([&] { return received.size() == 1; }));
  EXPECT_LE(received[0].size(), kMaxPendingReceive);
  EXPECT_EQ(received[0].substr(received[0].size() - 5), "end\r\n");
}

TEST_F(FakePort, PendingReceiveSurvivesCloseAndPrefixesTheNextOpening) {
  CollectReceived();
  port.Open();
  Settle();
  device().Inject("AB");
  ASSERT_TRUE(ServeUntil([&] { return port.PendingReceive() == "AB"; }));
  port.Close();
  port.Open();
  Settle();
  device().Inject("C\r\n");
  ASSERT_TRUE(ServeUntil([&] { return received.size() == 1; }));
  EXPECT_EQ(received[0], "ABC\r\n");
}

TEST_F(FakePort, ModemLineEventsCarryTheNewStateInTheirOrder) {
  std::vector<std::string> events;
  port.OnCTSChanged = [&](bool s) { events.push_back(std::string("CTS ") + (s ? "on" : "off")); };
  port.OnDSRChanged = [&](bool s) { events.push_back(std::string("DSR ") + (s ? "on" : "off")); };
  port.OnRLSDChanged = [&](bool s) { events.push_back(std::string("RLSD ") + (s ? "on" : "off")); };
  port.OnRingChanged = [&](bool s) { events.push_back(std::string("RING ") + (s ? "on" : "off")); };
  port.Open();
  Settle();
  device().SetModemLines(msCTS_ON);
  ASSERT_TRUE(ServeUntil([&] { return events.size() == 1; }));
  Settle();
  device().SetModemLines(msCTS_ON | msDSR_ON | msRLSD_ON | msRING_ON);
  ASSERT_TRUE(ServeUntil([&] { return events.size() == 4; }));
  Settle();
  device().SetModemLines(msRING_ON);
  ASSERT_TRUE(ServeUntil([&] { return events.size() == 7; }));
  const std::vector<std::string> expected = {"CTS on",  "DSR on",  "RLSD on", "RING on",
                                             "CTS off", "DSR off", "RLSD off"};
  EXPECT_EQ(events, expected);
}

TEST_F(FakePort, LoopBackPlugGivesNoEventForTheLinesLoweredAtOpen) {
  loopBack = true;
  std::vector<std::string> events;
  port.OnCTSChanged = [&](bool) { events.push_back("CTS"); };
  port.OnDSRChanged = [&](bool) { events.push_back("DSR"); };
  port.Open();
  Settle();
  port.SetDTR(true); // a change after the opening still comes
  ASSERT_TRUE(ServeUntil([&] { return !events.empty(); }));
  EXPECT_EQ(events, std::vector<std::string>{"DSR"});
}

TEST_F(FakePort, ReaderThreadWaitsOneStepAboveNormalWhereAllowed) {
  const int expected = test::OneStepAboveNormalWhereAllowed();
  int errors = 0;
  port.OnError = [&](TComPort&) { ++errors; };
  port.Open();
  Settle();
  EXPECT_TRUE(port.Active());
  EXPECT_EQ(errors, 0);
  EXPECT_EQ(device().NiceInFirstWait(), expected);
}

TEST_F(FakePort, UnassignedStatusEventsAreSkipped) {
  std::vector<bool> dsr;
  port.OnDSRChanged = [&](bool s) { dsr.push_back(s); };
  port.Open();
  Settle();
  device().SetModemLines(msCTS_ON | msDSR_ON);
  ASSERT_TRUE(ServeUntil([&] { return dsr.size() == 1; }));
  EXPECT_TRUE(dsr[0]);
}

TEST_F(FakePort, LineErrorFiresOnErrorOncePerCompletedWait) {
  int errors = 0;
  port.OnError = [&](TComPort& sender) {
    EXPECT_EQ(&sender, &port);
    ++errors;
  };
  port.Open();
  Settle();
  device().RaiseLineError();
  ASSERT_TRUE(ServeUntil([&] { return errors == 1; }));
  Settle();
  device().RaiseLineError();
  ASSERT_TRUE(ServeUntil([&] { return errors == 2; }));
  // The port keeps working after an error.
  CollectReceived();
  Settle();
  device().Inject("ok\r\n");
  ASSERT_TRUE(ServeUntil([&] { return received.size() == 1; }));
  EXPECT_EQ(errors, 2);
}

TEST_F(FakePort, ClosingWithAHandOffPendingDeliversNothingAndCompletes) {
  CollectReceived();
  int errors = 0;
  port.OnError = [&](TComPort&) { ++errors; };
  port.Open();
  Settle();
  device().Inject("late\r\n");
  device().RaiseLineError();
  // The reader thread is now blocked in its hand-off; nobody served it.
  std::this_thread::sleep_for(20ms);
  port.Close();
  EXPECT_FALSE(port.Active());
  EXPECT_TRUE(device().Closed());
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(errors, 0);
  EXPECT_EQ(handOff.Serve(), 0u); // nothing left behind
}

TEST_F(FakePort, StopRequestRightAfterOpenIsNotLost) {
  for (int i = 0; i < 50; ++i) {
    port.Open();
    port.Close();
    ASSERT_TRUE(device().Closed());
  }
  EXPECT_EQ(devices.size(), 50u);
}

TEST_F(FakePort, CloseFromInsideTheReceiveEventReturns) {
  int closes = 0;
  port.OnPortClose = [&](TComPort&) { ++closes; };
  port.ReceiveCallBack = [&](const std::string& data) {
    received.push_back(data);
    port.Close();
    EXPECT_FALSE(port.Active());
  };
  port.Open();
  Settle();
  auto first = devices.back();
  first->Inject("bye\r\n");
  ASSERT_TRUE(ServeUntil([&] { return closes == 1; }));
  EXPECT_TRUE(first->Closed());
  EXPECT_EQ(received, std::vector<std::string>{"bye\r\n"});
  // The port opens again normally.
  port.ReceiveCallBack = nullptr;
  port.Open();
  EXPECT_TRUE(port.Active());
  port.Close();
  EXPECT_EQ(closes, 2);
}

TEST_F(FakePort, CloseFromInsideAStatusEventAndFromOnPortOpenReturns) {
  port.OnCTSChanged = [&](bool) { port.Close(); };
  port.Open();
  Settle();
  device().SetModemLines(msCTS_ON);
  ASSERT_TRUE(ServeUntil([&] { return !port.Active(); }));
  EXPECT_TRUE(device().Closed());

  port.OnPortOpen = [&](TComPort& sender) { sender.Close(); };
  port.Open();
  EXPECT_FALSE(port.Active());
  EXPECT_TRUE(device().Closed());
}

TEST_F(FakePort, ExceptionFromAnEventEndsTheReaderThreadAndCloseStillCompletes) {
  int closes = 0;
  port.OnPortClose = [&](TComPort&) { ++closes; };
  port.ReceiveCallBack = [&](const std::string&) { throw std::runtime_error("handler failed"); };
  port.Open();
  Settle();
  device().Inject("x\r\n");
  ASSERT_TRUE(ServeUntil([&] { return device().Closed(); }));
  // Still active until Close; writes and line changes have no effect now.
  EXPECT_TRUE(port.Active());
  port.SendString("ignored");
  port.SetDTR(true);
  EXPECT_TRUE(device().Writes().empty());
  EXPECT_TRUE(device().ModemLineCalls().empty());
  port.Close();
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(closes, 1);
}

TEST_F(FakePort, VanishedDeviceMakesWritesHarmlessAndCloseCompletes) {
  CollectReceived();
  port.Open();
  Settle();
  device().Vanish();
  device().Inject("gone\r\n");
  port.SendString("nobody hears this");
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(handOff.Serve(), 0u); // the reader no longer watches the device
  EXPECT_TRUE(received.empty());
  EXPECT_TRUE(device().Writes().empty());
  port.Close();
  EXPECT_FALSE(port.Active());
  EXPECT_TRUE(device().Closed());
}

TEST_F(FakePort, DestroyingAnActivePortClosesIt) {
  int closes = 0;
  {
    TComPort local(handOff, [this](const std::string&, std::string&) -> TComDevicePtr {
      devices.push_back(std::make_shared<TFakeComDevice>());
      return devices.back();
    });
    local.Port = "/dev/fake2";
    local.OnPortClose = [&](TComPort&) { ++closes; };
    local.Open();
    ASSERT_TRUE(local.Active());
  }
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(device().Closed());
}

// Fault 1: the message must not be cut short by the closing.
TEST_F(FakePort, ClosingDrainsTheOutputSoTheWholeMessageLeaves) {
  port.Baud = 2400;
  port.Open();
  const std::string message = "<,9600,3,13,13,0,0,0,0,0,114,ERROR,1,0,0,>xy"; // 44 bytes
  ASSERT_EQ(message.size(), 44u);
  port.SendString(message);
  std::this_thread::sleep_for(100ms); // about 24 bytes are out by now
  port.Close();
  EXPECT_EQ(device().Sent(), message);
  EXPECT_EQ(device().DiscardCount(), 0);
}

TEST_F(FakePort, ClosingDoesNotHangOnAFarEndThatNeverTakesItsBytes) {
  port.Baud = 2400;
  port.Open();
  device().SetOutputStuck(true);
  port.SendString(std::string(44, 'z'));
  const auto start = std::chrono::steady_clock::now();
  port.Close();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, 5s); // the bound is about 0.5 s for 44 bytes at 2400 baud
  EXPECT_EQ(device().DiscardCount(), 1);
  EXPECT_TRUE(device().Closed());
}

} // namespace
} // namespace rv58
