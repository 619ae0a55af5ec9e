#include "preferences.h"

#include "testutil_files.h"

#include <gtest/gtest.h>

namespace {

using rv58::FormPos;
using rv58::ParseFormPos;
using rv58::test::TempDir;

TEST(FormPosValue, AppliesPiecesInOrderUntilTheFirstBadOne) {
  FormPos p = ParseFormPos("800;600;10;20");
  EXPECT_EQ(p.width, 800);
  EXPECT_EQ(p.height, 600);
  EXPECT_EQ(p.top, 10);
  EXPECT_EQ(p.left, 20);

  p = ParseFormPos("800;abc;10;20");
  EXPECT_EQ(p.width, 800);
  EXPECT_FALSE(p.height);
  EXPECT_FALSE(p.top);
  EXPECT_FALSE(p.left);

  p = ParseFormPos("800;600");
  EXPECT_EQ(p.height, 600);
  EXPECT_FALSE(p.top);

  // Empty pieces are dropped, so the next number takes the place.
  p = ParseFormPos(";800;;600;-10;-20;");
  EXPECT_EQ(p.width, 800);
  EXPECT_EQ(p.height, 600);
  EXPECT_EQ(p.top, -10);
  EXPECT_EQ(p.left, -20);

  p = ParseFormPos("800;600;10;20;99");
  EXPECT_EQ(p.left, 20);

  for (const char* bad : {"", ";;;", "x;600;10;20", "800 ;600", "99999999999;1;1;1", "1.5;2;3;4"}) {
    p = ParseFormPos(bad);
    EXPECT_FALSE(p.width) << bad;
    EXPECT_FALSE(p.height) << bad;
  }
}

TEST(FormPosValue, FormatsAndRoundTripsThroughThePreferences) {
  EXPECT_EQ(rv58::FormatFormPos(981, 605, -157, 348), "981;605;-157;348");
  TempDir dir;
  rv58::TIniFile prefs(dir.File("rv58led.ini"));
  EXPECT_FALSE(rv58::ReadFormPos(prefs).width);
  ASSERT_TRUE(rv58::WriteFormPos(prefs, 1024, 700, 5, -30));
  EXPECT_EQ(prefs.ReadString("FormPos", "rvform", ""), "1024;700;5;-30");
  const FormPos p = rv58::ReadFormPos(prefs);
  EXPECT_EQ(p.width, 1024);
  EXPECT_EQ(p.height, 700);
  EXPECT_EQ(p.top, 5);
  EXPECT_EQ(p.left, -30);
}

} // namespace
