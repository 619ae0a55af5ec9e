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
  EXPECT_EQ(form_->le->currentIndex(), 7);
  EXPECT_EQ(form_->lh->currentIndex(), 3);
  EXPECT_TRUE(form_->nm->isChecked());
  EXPECT_EQ(form_->tp->currentIndex(), 2);
  EXPECT_TRUE(QTest::qWaitFor([&] { return monitor_->PreviewText() == "1.23"; }, 5000))
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

// The list keeps the lines it already shows and adds or drops only the others: whatever the step,
// it must show exactly the frames given, each with its marks.
TEST(MonitorFrameList, ShowsExactlyTheFramesGivenAfterEachChange) {
  FrameSettings settings;
  settings.tm = settings.kr = 10;
  settings.le = 7;
  settings.lh = 3;
  settings.nm = true;
  const std::vector<std::vector<int>> steps = {
      {1, 2, 3}, {1, 2, 3}, {2, 3, 4}, {3, 4, 4, 4, 5}, {4, 4, 5}, {7, 8}, {}, {9}, {9, 9, 9},
  };
  TFrameList list;
  for (std::size_t step = 0; step < steps.size(); ++step) {
    std::deque<DisplayFrame> frames;
    QString expected; // each line ends, so the view keeps a free line below the newest
    for (const int weight : steps[step]) {
      frames.push_back(EvaluateFrame(settings, "ST,GS,+000" + std::to_string(weight) + ".23kg\r\n"));
      expected += QStringLiteral("ST,GS,+000%1.23kg<CR><LF> → %1.23\n").arg(weight);
    }
    list.ShowFrames(frames, settings);
    EXPECT_EQ(list.toPlainText(), expected) << "step " << step;
  }
  // Cut characters struck through, the shown part in bold.
  const QTextBlock last = list.document()->lastBlock().previous();
  std::vector<std::pair<QString, bool>> runs; // text, struck through
  for (auto it = last.begin(); !it.atEnd(); ++it)
    runs.emplace_back(it.fragment().text(), it.fragment().charFormat().fontStrikeOut());
  ASSERT_GE(runs.size(), 3u);
  EXPECT_EQ(runs[0], std::make_pair(QStringLiteral("ST,GS,+"), true));
  EXPECT_EQ(runs[1], std::make_pair(QStringLiteral("0009.23"), false));
  EXPECT_EQ(runs[2], std::make_pair(QStringLiteral("kg<CR>"), true));
  EXPECT_EQ(last.begin().fragment().charFormat().fontWeight(), QFont::Normal);
  EXPECT_EQ((++last.begin()).fragment().charFormat().fontWeight(), QFont::Bold);
}

} // namespace
} // namespace rv58::test
