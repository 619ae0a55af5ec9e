// Terminator text: parsing, printing and the error it raises.
#include "ComPort.h"

#include <gtest/gtest.h>

namespace rv58 {
namespace {

std::string Bytes(std::string_view text) {
  TComPort port;
  port.SetTerminator(text);
  return port.TerminatorBytes();
}

TEST(Terminator, DefaultIsCarriageReturnLineFeed) {
  TComPort port;
  EXPECT_EQ(port.TerminatorBytes(), "\r\n");
  EXPECT_EQ(port.Terminator(), "#13#10");
}

TEST(Terminator, ParsesTheHashNotation) {
  EXPECT_EQ(Bytes("#13#10"), "\r\n");
  EXPECT_EQ(Bytes("#3"), "\x03");
  EXPECT_EQ(Bytes("#65#66#67"), "ABC");
  EXPECT_EQ(Bytes("#0"), std::string(1, '\0'));
  EXPECT_EQ(Bytes("#  7"), "\x07"); // leading blanks of a token are skipped
}

TEST(Terminator, DropsTheFirstCharacterWhateverItIs) {
  EXPECT_EQ(Bytes("13#10"), "\x03\x0a");
}

TEST(Terminator, EmptyOrBareHashGivesCarriageReturnLineFeed) {
  EXPECT_EQ(Bytes(""), "\r\n");
  EXPECT_EQ(Bytes("#"), "\r\n");
}

TEST(Terminator, TrailingHashIsAccepted) {
  EXPECT_EQ(Bytes("#13#"), "\r");
}

TEST(Terminator, NumbersKeepTheirLowEightBits) {
  EXPECT_EQ(Bytes("#300"), ",");
  EXPECT_EQ(Bytes("#-1"), "\xff");
  EXPECT_EQ(Bytes("#$0D"), "\r");
  EXPECT_EQ(Bytes("#0x0A#x41"), "\nA");
}

TEST(Terminator, BadTokenRaisesAndResetsToCarriageReturnLineFeed) {
  for (const char* bad : {"#13##10", "#13 ", "#A", "#1#2#three", "#99999999999", "#$"}) {
    TComPort port;
    port.SetTerminator("#65");
    try {
      port.SetTerminator(bad);
      ADD_FAILURE() << "no error for " << bad;
    } catch (const EComError& e) {
      EXPECT_STREQ(e.what(), "Illegal terminator string.\rformat : #<asciicode>#<asciicode>#<...>\r"
                             "example: #13#10");
    }
    EXPECT_EQ(port.TerminatorBytes(), "\r\n") << bad;
  }
}

TEST(Terminator, PrintsEveryByteInDecimal) {
  TComPort port;
  port.SetTerminator("#0#255#$7F#300");
  EXPECT_EQ(port.Terminator(), "#0#255#127#44");
}

TEST(Terminator, LongTokensAreNotLimited) {
  // A token of 300 characters (blanks before the number) still parses.
  EXPECT_EQ(Bytes("#" + std::string(300, ' ') + "66"), "B");
}

TEST(ComPortEnums, OrdinalsMatchThePlatformCodes) {
  EXPECT_EQ(ptNONE, 0);
  EXPECT_EQ(ptODD, 1);
  EXPECT_EQ(ptEVEN, 2);
  EXPECT_EQ(ptMARK, 3);
  EXPECT_EQ(ptSPACE, 4);
  EXPECT_EQ(sbONE, 0);
  EXPECT_EQ(sbONE5, 1);
  EXPECT_EQ(sbTWO, 2);
  EXPECT_EQ(rmRAW, 0);
  EXPECT_EQ(rmTERM, 1);
}

TEST(ComPortProperties, ValuesAfterConstruction) {
  TComPort port;
  EXPECT_EQ(port.Port, "COM1");
  EXPECT_EQ(port.Baud, 9600u);
  EXPECT_EQ(port.DataBits, 8);
  EXPECT_EQ(port.Parity, ptNONE);
  EXPECT_EQ(port.StopBits, sbONE);
  EXPECT_EQ(port.WinQSizeIn, 8192u);
  EXPECT_EQ(port.WinQSizeOut, 8192u);
  EXPECT_EQ(port.ReceiveMode, rmTERM);
  EXPECT_FALSE(port.Active());
  // Closed: these do nothing and raise nothing.
  port.SendString("x");
  port.SetDTR(true);
  port.SetRTS(true);
  port.Close();
  EXPECT_FALSE(port.Active());
}

} // namespace
} // namespace rv58
