// Writers killed with SIGKILL at random moments: rv58ctl defaults, and a save through the INI
// layer in a child process, each in a writable folder and in a read-only folder that holds a
// writable file. After every kill the file is the old or the new content, whole; after a last
// write that runs to its end, the folder holds the file and nothing else.
#include "displaysettings.h"
#include "inifile.h"
#include "settingsfile.h"
#include "testutil_cli.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rv58 {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kKillsPerCase = 50;

// A preferences-sized file is too quick to hit; this one takes a while to write, and its settings
// come first, so that a write cut short anywhere shows.
std::string LargeFile() {
  std::string text = "; kept as it is\r\n[RV5]\r\n";
  for (int i = 0; i < 8000; ++i)
    text += "[Section" + std::to_string(i) + "]\r\nkey=" + std::string(100, static_cast<char>('a' + i % 26)) +
            "\r\n";
  return text;
}

DisplaySettings Settings(int variant) {
  DisplaySettings s = DisplaySettings::Defaults();
  s.SetBd(variant);
  s.SetHt(variant == 1 ? "HIBA" : "ERROR");
  s.SetMerlegnev("M\xE9rleg " + std::to_string(variant));
  s.SetComport_up("COM" + std::to_string(variant + 1));
  return s;
}

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  return names;
}

void Put(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// In a read-only folder root could still make files, so the writer runs as nobody there.
void BecomeWriter(bool readOnlyFolder) {
  if (readOnlyFolder && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
    ::_exit(99);
}

pid_t StartCli(const fs::path& file, const fs::path& ini, bool readOnlyFolder) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    BecomeWriter(readOnlyFolder);
    ::execl(RV58CTL_PATH, "rv58ctl", "--ini", ini.c_str(), "defaults", file.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(98);
  }
  return pid;
}

// Saves the two settings in turn, `rounds` times (for ever when 0).
pid_t StartIniSaver(const fs::path& file, bool readOnlyFolder, int rounds) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    BecomeWriter(readOnlyFolder);
    TIniFile ini(file.string());
    for (int i = 0; rounds == 0 || i < rounds; ++i) {
      savefile(Settings(1), ini);
      if (rounds == 0)
        savefile(Settings(2), ini);
    }
    ::_exit(0);
  }
  return pid;
}

int Reap(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

struct TCase {
  const char* name;
  bool cli; // rv58ctl defaults, or the INI layer in a child
  bool readOnlyFolder;
};

TEST(KillWrite, EveryKillLeavesTheOldOrTheNewFileAndNoTemporaryFile) {
  // On tmpfs the flushes cost nothing, so more of the kills land inside the writes themselves.
  const test::TempDir folder("rv58-kill", ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm")
                                                                          : fs::temp_directory_path());
  const fs::path dir = folder.Path();
  fs::permissions(dir, fs::perms::all ^ fs::perms::others_write ^ fs::perms::group_write);
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("random seed " + std::to_string(seed));
  std::mt19937 random(seed);

  for (const TCase c :
       {TCase{"rv58ctl, writable folder", true, false}, TCase{"rv58ctl, read-only folder", true, true},
        TCase{"INI save, writable folder", false, false}, TCase{"INI save, read-only folder", false, true}}) {
    SCOPED_TRACE(c.name);
    const fs::path folder = dir / (std::string(c.cli ? "cli" : "ini") + (c.readOnlyFolder ? "-ro" : "-rw"));
    fs::create_directory(folder);
    const fs::path file = folder / "s.rv5";
    {
      Put(file, LargeFile());
      TIniFile ini(file.string());
      ASSERT_TRUE(savefile(Settings(c.cli ? 3 : 2), ini));
    }
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
    if (c.readOnlyFolder)
      fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const std::string oldBytes = test::ReadBytes(file);

    // The new file, from a write that runs to its end; its time bounds the moments to kill at.
    const auto begin = Clock::now();
    const int status = Reap(c.cli ? StartCli(file, dir / "rv58led.ini", c.readOnlyFolder)
                                  : StartIniSaver(file, c.readOnlyFolder, 1));
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) < 90) << status;
    const std::string newBytes = test::ReadBytes(file);
    Put(file, oldBytes);

    // Half of the kills at a random moment of a whole write, half right after the folder shows
    // the write (a file made, or the file changed): the moments that a slow write widens.
    std::uniform_int_distribution<long> moment(0, span.count() * 3 / 2);
    std::uniform_int_distribution<long> soon(0, 200);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_MODIFY | IN_CREATE | IN_MOVED_TO), 0);
    char events[4096];
    int torn = 0, oldCount = 0, newCount = 0;
    for (int k = 0; k < kKillsPerCase; ++k) {
      const pid_t pid = c.cli ? StartCli(file, dir / "rv58led.ini", c.readOnlyFolder)
                              : StartIniSaver(file, c.readOnlyFolder, 0);
      while (::read(watch, events, sizeof events) > 0) {
      }
      if (k % 2 == 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
      } else {
        pollfd p{watch, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(span.count() / 500 + 1));
        std::this_thread::sleep_for(std::chrono::microseconds(soon(random)));
      }
      ::kill(pid, SIGKILL);
      Reap(pid);
      const std::string now = test::ReadBytes(file);
      if (now != oldBytes && now != newBytes)
        ++torn;
      (now == newBytes ? newCount : oldCount) += now == oldBytes || now == newBytes;
      if (c.cli || now != oldBytes)
        Put(file, oldBytes);
    }
    EXPECT_EQ(torn, 0) << "kills that left a file neither old nor new (" << oldCount << " old, " << newCount
                       << " new)";
    std::printf("%s: %d kills left the old file, %d the new one, %d a torn one\n", c.name, oldCount, newCount,
                torn);

    const int last = Reap(c.cli ? StartCli(file, dir / "rv58led.ini", c.readOnlyFolder)
                                : StartIniSaver(file, c.readOnlyFolder, 1));
    EXPECT_TRUE(WIFEXITED(last) && WEXITSTATUS(last) < 90);
    EXPECT_EQ(test::ReadBytes(file), newBytes);
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"s.rv5"});
    fs::permissions(folder, fs::perms::owner_all);
    ::close(watch);
  }
}

} // namespace
} // namespace rv58
