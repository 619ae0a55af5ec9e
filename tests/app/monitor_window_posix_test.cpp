// The scale monitor window on a pseudo-terminal scale: frames and preview following the pages,
// the port given up during an upload, and the search taken over into the pages.
#include "testutil_window.h"

#include "testutil_ptydisplay.h"

#include "scalemonitor.h"
#include "scalemonitorlist.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <filesystem>

#include <gtest/gtest.h>

namespace rv58::test {
namespace {

class MonitorWindow : public ::testing::Test {
protected:
  void SetUp() override {
    bench_.ports = {"COM1", "COM7"};
    bench_.WriteFile("rv58led.ini", "[Ports]\r\nCOM7=" + scale_.SlavePath() + "\r\n");
    form_ = bench_.Start();
    QTest::mouseClick(form_->alapbutton, Qt::LeftButton);
    form_->Comport_up->setCurrentIndex(form_->Comport_up->findText("COM7"));
    form_->ScaleMonitorAction->trigger();
    monitor_ = qobject_cast<TScaleMonitor*>(form_->ScaleMonitor);
    ASSERT_NE(monitor_, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor_->PortOpen(); }, 5000))
        << monitor_->StatusText().toStdString();
  }
  void Send(int frames) {
    for (int i = 0; i < frames; ++i)
      scale_.Send("ST,GS,+0001.23kg\r\n");
  }

  TPtyDisplay scale_;
  WindowBench bench_;
  std::unique_ptr<Trvform> form_;
  TScaleMonitor* monitor_ = nullptr;
};

TEST_F(MonitorWindow, FramesAndPreviewFollowThePages) {
  Send(2);
  ASSERT_TRUE(QTest::qWaitFor([&] { return monitor_->Frames().size() == 2; }, 5000)); // cut at CR
  struct Step {
    const char* change;
    std::function<void(Trvform&)> apply;
    std::string preview;
  };
  const Step steps[] = {
      {"defaults", [](Trvform&) {}, "\nST,GS,+0001.23kg"},
      {"tm LF",
       [](Trvform& f) {
         f.tm->setCurrentIndex(10);
         f.kr->setCurrentIndex(10);
       },
       "ST,GS,+0001.23kg\r"},
      {"le 7", [](Trvform& f) { f.le->setCurrentIndex(7); }, "0001.23kg\r"},
      {"lh 3", [](Trvform& f) { f.lh->setCurrentIndex(3); }, "0001.23"},
      {"nm", [](Trvform& f) { f.nm->setChecked(true); }, "1.23"},
  };
  for (const auto& s : steps) {
    s.apply(*form_);
    if (std::string(s.change) == "tm LF") { // a new terminator cuts from the next frames on
      Send(2);
      ASSERT_TRUE(
          QTest::qWaitFor([&] { return monitor_->Frames().back().bytes == "ST,GS,+0001.23kg\r\n"; }, 5000));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor_->PreviewText() == s.preview; }, 2000))
        << s.change << ": " << monitor_->PreviewText();
  }
}

TEST_F(MonitorWindow, AHangUpShowsInTheStatusAtOnceAndThePortIsTriedAgain) {
  scale_.HangUp();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !monitor_->PortOpen(); }, 700));
  QTest::qWait(1200); // tried again meanwhile: the warning stays while the device is away
  EXPECT_TRUE(
      monitor_->StatusText().contains(QStringLiteral("eltűnt (COM7 (%1))").arg(scale_.SlavePath().c_str())))
      << monitor_->StatusText().toStdString();
}

TEST_F(MonitorWindow, AnUploadTakesThePortAndGivesItBack) {
  bool heldDuringUpload = true;
  QObject::connect(form_.get(), &Trvform::TransmissionStarting,
                   [&] { heldDuringUpload = monitor_->PortOpen(); });
  QTest::mouseClick(form_->FeltoltesButton, Qt::LeftButton);
  EXPECT_FALSE(heldDuringUpload);
  EXPECT_TRUE(bench_.dialogs->warnings.empty());
  EXPECT_NE(scale_.WaitQuiet().find("<,9600,3,13,13,"), std::string::npos);
  EXPECT_TRUE(QTest::qWaitFor([&] { return monitor_->PortOpen(); }, 5000));
}

TEST_F(MonitorWindow, SearchFindsTheFramesAndAtvetelFillsThePages) {
  form_->hk->setCurrentIndex('S'); // an error character that every frame holds goes
  QTest::qWait(20);
  QTimer scale;
  QObject::connect(&scale, &QTimer::timeout, [&] { Send(1); });
  scale.start(150);
  QTest::mouseClick(monitor_->findChild<QPushButton*>("Felismeres"), Qt::LeftButton);
  EXPECT_TRUE(monitor_->Searching());
  ASSERT_TRUE(QTest::qWaitFor([&] { return monitor_->Found().has_value(); }, 30000));
  ASSERT_EQ(monitor_->Found()->outcome, TSearchOutcome::soFOUND);
  QTest::mouseClick(monitor_->findChild<QPushButton*>("Atvetel"), Qt::LeftButton);
  EXPECT_EQ(form_->tm->currentIndex(), 10);
  EXPECT_EQ(form_->kr->currentIndex(), 10);
  EXPECT_EQ(form_->le->currentIndex(), 6); // the sign column stays
  EXPECT_EQ(form_->lh->currentIndex(), 3);
  EXPECT_TRUE(form_->nm->isChecked());
  EXPECT_EQ(form_->tp->currentIndex(), 2);
  EXPECT_EQ(form_->hk->currentIndex(), -1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return monitor_->PreviewText() == "+1.23"; }, 5000))
      << monitor_->PreviewText();
}

// A port whose device is not there yet (an adapter not plugged in): with the port watcher the
// monitor opens it when the device event comes and does not retry meanwhile; without the watcher
// its once-a-second retry finds it.
class MonitorMissingPort : public ::testing::TestWithParam<bool> {};

TEST_P(MonitorMissingPort, OpensThePortWhenItsDeviceAppears) {
  const bool followed = GetParam();
  TPtyDisplay scale;
  WindowBench bench;
  FakePortEvents events;
  const std::string device = bench.Path("scale"); // a link to the pty, made when it "appears"
  bench.ports = {"COM1", "COM7"};
  bench.WriteFile("rv58led.ini", "[Ports]\r\nCOM7=" + device + "\r\n");
  bench.deviceOpener = [](const std::string& path, std::string& error) {
    std::error_code failed;
    const std::string real = std::filesystem::canonical(path, failed).string();
    if (failed || real.rfind("/dev/pts/", 0) != 0) {
      error = "not a pseudo-terminal";
      return TComDevicePtr();
    }
    return OpenComDevice(real, error);
  };
  if (followed)
    bench.portEvents = events.Factory();
  auto form = bench.Start();
  QTest::mouseClick(form->alapbutton, Qt::LeftButton);
  form->Comport_up->setCurrentIndex(form->Comport_up->findText("COM7"));
  form->ScaleMonitorAction->trigger();
  auto* monitor = qobject_cast<TScaleMonitor*>(form->ScaleMonitor);
  ASSERT_NE(monitor, nullptr);
  QTest::qWait(200);
  ASSERT_FALSE(monitor->PortOpen());

  std::filesystem::create_symlink(scale.SlavePath(), device);
  if (followed) {
    QTest::qWait(1300); // a retry each second would have opened it by now
    EXPECT_FALSE(monitor->PortOpen()) << "retried although the watcher follows the devices";
    events.Fire();
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->PortOpen(); }, 3000))
      << monitor->StatusText().toStdString();
  scale.Send("ST,GS,+0001.23kg\r\n");
  EXPECT_TRUE(QTest::qWaitFor([&] { return monitor->Frames().size() == 1; }, 3000));
}

INSTANTIATE_TEST_SUITE_P(Watcher, MonitorMissingPort, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Followed" : "Retried"; });

} // namespace
} // namespace rv58::test
