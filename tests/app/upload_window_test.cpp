// The window's upload in this process on a fake device: the DTR pulse with Alt or the menu
// items, and the preamble at once without. (The bytes on a pseudo-terminal display are in
// upload_window_posix_test.cpp.)
#include "testutil_window.h"

#include "testutil_fakedevice.h"

#include "ComPort.h"
#include "windowcontrols.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

namespace rv58::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kDefaultMessage = "<,9600,3,13,13,0,0,0,0,0,114,ERROR,1,0,0,>";

// A fake device that notes when DTR changed and when bytes were written.
class TTimedDevice : public TFakeComDevice {
public:
  bool SetModemLine(TModemLine line, bool on) override {
    {
      std::lock_guard<std::mutex> g(m);
      lines.push_back({line, on, Clock::now()});
    }
    return TFakeComDevice::SetModemLine(line, on);
  }
  long Write(const char* data, std::size_t size) override {
    {
      std::lock_guard<std::mutex> g(m);
      writes.push_back({std::string(data, size), Clock::now()});
    }
    return TFakeComDevice::Write(data, size);
  }
  struct TLine {
    TModemLine line;
    bool on;
    Clock::time_point time;
  };
  struct TWrite {
    std::string bytes;
    Clock::time_point time;
  };
  std::mutex m;
  std::vector<TLine> lines;
  std::vector<TWrite> writes;
};

class UploadWindowFakeDevice : public ::testing::Test {
protected:
  void SetUp() override {
    bench_.ports = {"COM7"};
    bench_.deviceOpener = [this](const std::string& path, std::string&) -> TComDevicePtr {
      opened_.push_back(path);
      device_ = std::make_shared<TTimedDevice>();
      device_->pacing = false;
      return device_;
    };
    form_ = bench_.Start();
    QTest::mouseClick(form_->alapbutton, Qt::LeftButton);
    form_->Comport_up->setCurrentIndex(0);
  }

  // DTR changes after the opening lowered both lines.
  std::vector<TTimedDevice::TLine> DtrPulse() const {
    std::vector<TTimedDevice::TLine> pulse;
    std::lock_guard<std::mutex> g(device_->m);
    for (const auto& l : device_->lines) {
      if (l.line == TModemLine::mlDTR && l.on) {
        pulse.push_back(l);
      } else if (!pulse.empty() && l.line == TModemLine::mlDTR) {
        pulse.push_back(l);
      }
    }
    return pulse;
  }

  WindowBench bench_;
  std::vector<std::string> opened_;
  std::shared_ptr<TTimedDevice> device_;
  std::unique_ptr<Trvform> form_;
};

TEST_F(UploadWindowFakeDevice, AltClickPulsesDtrAndWaitsTwoAndAHalfSecondsBeforeThePreamble) {
  QTest::mouseClick(form_->FeltoltesButton, Qt::LeftButton, Qt::AltModifier);
  ASSERT_NE(device_, nullptr);
  const auto pulse = DtrPulse();
  ASSERT_EQ(pulse.size(), 2U);
  EXPECT_TRUE(pulse[0].on);
  EXPECT_FALSE(pulse[1].on);
  EXPECT_GE(pulse[1].time - pulse[0].time, 50ms);
  ASSERT_EQ(device_->writes.size(), 2U);
  EXPECT_EQ(device_->writes[0].bytes, "<>");
  EXPECT_EQ(device_->writes[1].bytes, kDefaultMessage);
  EXPECT_GE(device_->writes[0].time - pulse[1].time, 2500ms);
  EXPECT_LT(device_->writes[0].time - pulse[1].time, 4000ms);
  EXPECT_GE(device_->writes[1].time - device_->writes[0].time, 10ms);
  EXPECT_TRUE(device_->Closed());
  EXPECT_EQ(device_->LineInForce().Baud, 9600U);
}

// Desktops that move windows on Alt + click leave the context menu's items to reach the pulse.
TEST_F(UploadWindowFakeDevice, TheMenuItemsWithTheDtrPulseRunTheCommandsWithIt) {
  const QList<QAction*> items = form_->PopupMenu1->actions();
  ASSERT_GE(items.size(), 3);
  EXPECT_EQ(items[0]->text(), QString::fromUtf8("Feltöltés !"));
  for (const auto& [item, message] :
       {std::pair{items[1], kDefaultMessage}, std::pair{items[2], std::string("<,<<>")}}) {
    SCOPED_TRACE(item->text().toStdString());
    item->trigger();
    ASSERT_NE(device_, nullptr);
    const auto pulse = DtrPulse();
    ASSERT_EQ(pulse.size(), 2U);
    ASSERT_EQ(device_->writes.size(), 2U);
    EXPECT_EQ(device_->writes[1].bytes, message);
    EXPECT_GE(device_->writes[0].time - pulse[1].time, 2500ms);
    device_.reset();
  }
  EXPECT_EQ(items[1]->text(), QString::fromUtf8("Feltöltés DTR-impulzussal"));
  EXPECT_EQ(items[2]->text(), QString::fromUtf8("Kijelzőteszt DTR-impulzussal"));
  EXPECT_FALSE(form_->DTRPulseWanted());
}

TEST_F(UploadWindowFakeDevice, WithoutAltThePreambleFollowsTheOpeningAtOnce) {
  // Alt released before the click: the state at the click counts.
  QTest::keyPress(form_.get(), Qt::Key_Alt, Qt::AltModifier);
  QTest::keyRelease(form_.get(), Qt::Key_Alt, Qt::NoModifier);
  const auto start = Clock::now();
  QTest::mouseClick(form_->KijelzotesztButton, Qt::LeftButton);
  ASSERT_NE(device_, nullptr);
  EXPECT_TRUE(DtrPulse().empty());
  ASSERT_EQ(device_->writes.size(), 2U);
  EXPECT_EQ(device_->writes[1].bytes, "<,<<>");
  // The preamble on its own, the message after the 10 ms pause. (A pty cannot show this: its
  // reader may take both at once.)
  EXPECT_GE(device_->writes[1].time - device_->writes[0].time, 10ms);
  EXPECT_LT(device_->writes[0].time - start, 1000ms);
  // The component as the form defines it: 8 data bits, no parity, one stop bit.
  const TLineSettings line = device_->LineInForce();
  EXPECT_EQ(line.DataBits, 8);
  EXPECT_EQ(line.Parity, ptNONE);
  EXPECT_EQ(line.StopBits, sbONE);
  EXPECT_EQ(form_->ComPort->Terminator(), "#13#10");
  EXPECT_EQ(form_->ComPort->WinQSizeIn, 8192U);
  EXPECT_EQ(form_->ComPort->ReceiveMode, rmTERM);
  EXPECT_FALSE(form_->ComPort->Active());
}

} // namespace
} // namespace rv58::test
