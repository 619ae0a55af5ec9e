#pragma once
// A pseudo-terminal that stands in for the display: the component opens SlavePath() like a serial
// port; the display reads the master side on its own thread and records every byte with its
// arrival time. It can also talk back, stop reading, and hang up (close the master).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <termios.h>

namespace rv58::test {

class TPtyDisplay {
public:
  using Clock = std::chrono::steady_clock;
  struct TArrival {
    Clock::time_point time;
    std::string bytes;
  };

  TPtyDisplay();
  ~TPtyDisplay();
  TPtyDisplay(const TPtyDisplay&) = delete;
  TPtyDisplay& operator=(const TPtyDisplay&) = delete;

  const std::string& SlavePath() const { return slavePath_; }

  // Everything received so far, and the same cut into the pieces as they were read.
  std::string Received() const;
  std::vector<TArrival> Arrivals() const;
  // The arrival time of the byte at `index` of Received().
  Clock::time_point ByteTime(std::size_t index) const;
  // Waits until at least `count` bytes have arrived; false after the time-out.
  bool WaitForBytes(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  // Waits until nothing more arrives for `quiet`, and returns what was received.
  std::string WaitQuiet(std::chrono::milliseconds quiet = std::chrono::milliseconds(200)) const;

  // The display sends bytes to the port.
  void Send(std::string_view bytes);
  // Stops or resumes reading the master (a far end that does not read).
  void SetReading(bool reading);
  // Closes the master: the port's device hangs up, as when a USB adapter is pulled.
  void HangUp();
  // Hangs up by itself as soon as `count` bytes have arrived in all (0: never).
  void HangUpAfter(std::size_t count);
  // The line settings of the port as the pty held them when the last bytes arrived (a port puts
  // back what it found when it closes), or as it holds them now before any arrival.
  termios LineSettings() const;
  // Stops holding the port's side open: then only the program under test has it open.
  void ReleaseSlave();

private:
  void ReadLoop();

  std::string slavePath_;
  int master_ = -1;
  int keepSlave_ = -1; // keeps the pty from hanging up between openings of the port
  int stopFd_ = -1;
  int resumeFd_ = -1;
  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  std::string received_;
  std::vector<TArrival> arrivals_;
  std::vector<std::size_t> arrivalStart_; // offset of each arrival in received_
  Clock::time_point lastArrival_ = Clock::now();
  bool reading_ = true;
  std::size_t hangUpAfter_ = 0;
  bool lineAtArrival_ = false;
  termios lineSettings_{};
  std::uint64_t loops_ = 0; // passes of the reader loop, to know it saw a change
  std::thread reader_;
};

} // namespace rv58::test
