// rv58ctl upload: settings files sent to a pseudo-terminal display through the port names of the
// preferences file, run as a process.
#include "ComPort.h"
#include "testutil_cli.h"
#include "testutil_ptydisplay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include <termios.h>

namespace rv58 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kDefaultMessage = "<,9600,3,13,13,0,0,0,0,0,114,ERROR,1,0,0,>";
constexpr const char* kPortWarning = "A soros port nem nyitaható meg !\n";
constexpr const char* kCommaWarning = "A \",\" karakter nem használható a beállítások között.\n";

// The 19 lines that the defaults command writes, with a port of our choice.
std::string SettingsFile(const std::string& port = "COM7") {
  return "[RV5]\r\nbd=5\r\npr=3\r\ntm=13\r\nkr=13\r\nle=0\r\nlh=0\r\nfe=0\r\ntp=0\r\nbt=0\r\nhk=114\r\n"
         "or=0\r\nht=ERROR\r\nnev=M\xE9rleg\r\nau=1\r\nve=1\r\ncomment=\r\nport=" +
         port + "\r\nnm=0\r\n";
}

using TRun = test::TCliRun;

class UploadCli : public ::testing::Test {
protected:
  UploadCli() {
    // COM7 stands for the display's pseudo-terminal.
    Write("rv58led.ini", "[Ports]\r\nCOM7=" + display_.SlavePath() + "\r\n");
  }

  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  TRun Run(const std::string& args) { return test::RunRv58ctl(dir_, args); }

  // Uploads a settings file with these contents; returns what the display received.
  std::string Upload(const std::string& contents, TRun* runOut = nullptr, const std::string& options = "") {
    Write("s.rv5", contents);
    const TRun run = Run("upload '" + (dir_ / "s.rv5").string() + "'" + options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    if (runOut)
      *runOut = run;
    return display_.WaitQuiet(50ms);
  }

  void ExpectLine(speed_t speed) const {
    const termios t = display_.LineSettings();
    EXPECT_EQ(cfgetospeed(&t), speed);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & PARENB, 0u);
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
  }

  test::TPtyDisplay display_;
  test::TempDir folder_{"rv58-upload"};
  fs::path dir_ = folder_.Path();
};

TEST_F(UploadCli, DefaultsGoToTheStoredPortAt9600WithThePreambleFirst) {
  EXPECT_EQ(Upload(SettingsFile()), std::string("<>") + kDefaultMessage);
  ExpectLine(B9600);
}

TEST_F(UploadCli, FirstDisplayVersionIsSentAt2400) {
  std::string file = SettingsFile();
  file.replace(file.find("ve=1"), 4, "ve=0");
  EXPECT_EQ(Upload(file), std::string("<>") + kDefaultMessage);
  ExpectLine(B2400);
}

TEST_F(UploadCli, FileValuesAreReadAsTheWindowReadsThem) {
  // Hexadecimal error character, letters for the baud rate (its default, 9600), accented error
  // text sent as its Windows-1250 bytes.
  std::string file = SettingsFile();
  file.replace(file.find("hk=114"), 6, "hk=0x41");
  file.replace(file.find("bd=5"), 4, "bd=abc");
  file.replace(file.find("ht=ERROR"), 8, "ht=HIB\xC1");
  EXPECT_EQ(Upload(file), "<><,9600,3,13,13,0,0,0,0,0,65,HIB\xC1,1,0,0,>");
}

TEST_F(UploadCli, UnchosenListsSendMinusOneAndAnEmptyBaudRate) {
  std::string file = SettingsFile();
  file.replace(file.find("bd=5"), 4, "bd=-1");
  file.replace(file.find("pr=3"), 4, "pr=24");   // past the list: nothing chosen
  file.replace(file.find("tm=13"), 5, "tm=127"); // past the list
  file.replace(file.find("or=0"), 4, "or=-7");   // radio group: below -1 gives -1
  file.replace(file.find("tp=0"), 4, "tp=-1");
  EXPECT_EQ(Upload(file), "<><,,-1,-1,13,0,0,0,-1,0,114,ERROR,1,-1,0,>");
}

TEST_F(UploadCli, MultiLineDescriptionAndNameStayOffTheLine) {
  std::string withComment = SettingsFile("com7");
  withComment.replace(withComment.find("comment="), 8, "comment=els\xF5\xA1^m\xE1sodik, sor\xA1^");
  // The stored port matches the listed COM7 without regard to letter case.
  EXPECT_EQ(Upload(withComment), std::string("<>") + kDefaultMessage);
}

TEST_F(UploadCli, PortOptionWinsOverTheStoredPort) {
  test::TPtyDisplay other;
  Write("s.rv5", SettingsFile("COM7"));
  const TRun run = Run("upload --port " + other.SlavePath() + " '" + (dir_ / "s.rv5").string() + "'");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(other.WaitQuiet(50ms), std::string("<>") + kDefaultMessage);
  EXPECT_EQ(display_.WaitQuiet(20ms), "");
}

TEST_F(UploadCli, CommaAsTerminatorRequiredCharacterOrInTheErrorTextIsRefused) {
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"tm=13", "tm=44"},
                                 {"kr=13", "kr=44"},
                                 {"ht=ERROR", "ht=ER,ROR"}}) {
    std::string file = SettingsFile();
    file.replace(file.find(from), from.size(), to);
    Write("s.rv5", file);
    const TRun run = Run("upload '" + (dir_ / "s.rv5").string() + "'");
    EXPECT_EQ(run.exitCode, 3) << to;
    EXPECT_EQ(run.err, kCommaWarning) << to;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(display_.WaitQuiet(50ms), "");
}

TEST_F(UploadCli, CommaAsErrorCharacterGoesThroughAs44) {
  std::string file = SettingsFile();
  file.replace(file.find("hk=114"), 6, "hk=44");
  EXPECT_EQ(Upload(file), "<><,9600,3,13,13,0,0,0,0,0,44,ERROR,1,0,0,>");
}

TEST_F(UploadCli, PortsThatCannotBeOpenedExitWith2) {
  // A stored port the machine does not have chooses no port.
  Write("s.rv5", SettingsFile("COM250"));
  TRun run = Run("upload '" + (dir_ / "s.rv5").string() + "'");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, std::string(kPortWarning) + "nincs ilyen port\n");

  run = Run("upload '" + (dir_ / "s.rv5").string() + "' --port /dev/rv58-no-such-port");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err,
            std::string(kPortWarning) + "/dev/rv58-no-such-port: nem található (nincs csatlakoztatva?)\n");

  // A port another program holds.
  TComPort holder{THandOff()};
  holder.Port = display_.SlavePath();
  holder.Open();
  ASSERT_TRUE(holder.Active());
  Write("s.rv5", SettingsFile("COM7"));
  run = Run("upload '" + (dir_ / "s.rv5").string() + "'");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, std::string(kPortWarning) + "COM7 (" + display_.SlavePath() +
                         "): foglalt, egy másik program használja\n");
  holder.Close();
  EXPECT_EQ(display_.WaitQuiet(50ms), "");
}

TEST_F(UploadCli, ADisplayThatHangsUpAfterThePreambleExitsWith5) {
  display_.HangUpAfter(2);
  Write("s.rv5", SettingsFile("COM7"));
  const TRun run = Run("upload '" + (dir_ / "s.rv5").string() + "'");
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(run.err, "Az adatküldés nem sikerült !\n");
  EXPECT_EQ(display_.Received().substr(0, 2), "<>");
}

TEST_F(UploadCli, FilesThatGiveNoSettingsAreNotSentAsDefaults) {
  // Missing, a folder, empty, binary, UTF-16 without its byte-order mark: the defaults they would
  // load must not overwrite the display's settings.
  std::string utf16;
  for (char c : SettingsFile()) {
    utf16.push_back(c);
    utf16.push_back('\0');
  }
  Write("empty.rv5", "");
  Write("binary.rv5", std::string("\x7F"
                                  "ELF\x02\x01\x01\0\0\0",
                                  10));
  Write("utf16.rv5", utf16);
  fs::create_directory(dir_ / "folder.rv5");
  for (const char* name : {"nincs.rv5", "folder.rv5", "empty.rv5", "binary.rv5", "utf16.rv5"}) {
    const TRun run = Run("upload '" + (dir_ / name).string() + "'");
    EXPECT_EQ(run.exitCode, 4) << name;
    EXPECT_NE(run.err.find((dir_ / name).string()), std::string::npos) << run.err;
  }
  EXPECT_EQ(display_.WaitQuiet(50ms), "");
}

TEST_F(UploadCli, BadArgumentsAreUsageErrors) {
  Write("s.rv5", SettingsFile());
  const std::string file = " '" + (dir_ / "s.rv5").string() + "'";
  EXPECT_EQ(Run("upload").exitCode, 1);
  EXPECT_EQ(Run("upload" + file + " --port").exitCode, 1);
  EXPECT_EQ(Run("upload" + file + " --bogus").exitCode, 1);
  EXPECT_EQ(Run("upload" + file + file).exitCode, 1);
  EXPECT_EQ(display_.WaitQuiet(50ms), "");
}

TEST_F(UploadCli, DtrPulseAddsTwoAndAHalfSecondsOfSilenceBeforeThePreamble) {
  TRun run;
  EXPECT_EQ(Upload(SettingsFile(), &run, " --dtr-pulse"), std::string("<>") + kDefaultMessage);
  EXPECT_GE(display_.ByteTime(0) - run.started, 2550ms);
  EXPECT_GE(run.ended - run.started, 2550ms + 110ms);
}

} // namespace
} // namespace rv58
