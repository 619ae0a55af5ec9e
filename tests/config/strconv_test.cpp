#include "strconv.h"

#include <gtest/gtest.h>

namespace {

using rv58::StrToIntDef;
using rv58::TryStrToInt;

TEST(StrConv, AcceptsDecimalWithSpacesAndSign) {
  EXPECT_EQ(TryStrToInt("12"), 12);
  EXPECT_EQ(TryStrToInt("   12"), 12);
  EXPECT_EQ(TryStrToInt("+12"), 12);
  EXPECT_EQ(TryStrToInt("-12"), -12);
  EXPECT_EQ(TryStrToInt("007"), 7);
  EXPECT_EQ(TryStrToInt("0"), 0);
}

TEST(StrConv, AcceptsEveryHexadecimalPrefix) {
  for (const char* text : {"$1A", "x1A", "X1A", "0x1A", "0X1A", "$1a", " 0x1a"})
    EXPECT_EQ(TryStrToInt(text), 26) << text;
  EXPECT_EQ(TryStrToInt("-$10"), -16);
  EXPECT_EQ(TryStrToInt("#"), std::nullopt);
}

TEST(StrConv, RejectsAnythingElse) {
  for (const char* text : {"", " ", "12 ", "- 12", "$", "0x", "x", "1e3", "12abc", "\t12", "++1", "+-1",
                           "0x1G", "$-1", "1.5", "1,5"})
    EXPECT_EQ(TryStrToInt(text), std::nullopt) << '"' << text << '"';
}

TEST(StrConv, KeepsTheSigned32BitRange) {
  EXPECT_EQ(TryStrToInt("2147483647"), 2147483647);
  EXPECT_EQ(TryStrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(TryStrToInt("2147483648"), std::nullopt);
  EXPECT_EQ(TryStrToInt("-2147483649"), std::nullopt);
  EXPECT_EQ(TryStrToInt("99999999999999999999"), std::nullopt);
  // Hexadecimal is a 32-bit pattern.
  EXPECT_EQ(TryStrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(TryStrToInt("$80000000"), INT32_MIN);
  EXPECT_EQ(TryStrToInt("$7FFFFFFF"), 2147483647);
  EXPECT_EQ(TryStrToInt("$100000000"), std::nullopt);
  EXPECT_EQ(TryStrToInt("$000000001"), 1);
}

TEST(StrConv, DefaultOnlyWhenTheTextDoesNotConvert) {
  EXPECT_EQ(StrToIntDef("abc", 42), 42);
  EXPECT_EQ(StrToIntDef("0", 42), 0);
  EXPECT_EQ(StrToIntDef("-1", 42), -1);
}

} // namespace
