// The scale monitor's frame list: exactly the frames given, after every change.
#include "scalemonitorlist.h"

#include <QTextBlock>

#include <gtest/gtest.h>

namespace rv58::test {
namespace {

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
    list.ShowFrames(frames);
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
