// The main-thread hand-off on its own.
#include "handoff.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace rv58 {
namespace {

TEST(HandOff, RunsTheCallOnTheServingThreadAndBlocksTheWorkerUntilDone) {
  THandOff handOff;
  const auto mainId = std::this_thread::get_id();
  std::atomic<bool> workerReturned{false};
  std::thread::id ranOn;
  std::thread worker([&] {
    handOff.RunOnMain([&] { ranOn = std::this_thread::get_id(); });
    workerReturned = true;
  });
  // Nothing runs until the main thread serves.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(workerReturned.load());
  EXPECT_TRUE(handOff.ServeUntil([&] { return ranOn == mainId; }, std::chrono::seconds(10)));
  worker.join();
  EXPECT_EQ(ranOn, mainId);
  EXPECT_TRUE(workerReturned.load());
  EXPECT_EQ(handOff.Served(), 1u);
}

TEST(HandOff, ExceptionOfTheCallReachesTheWorker) {
  THandOff handOff;
  std::atomic<bool> caught{false};
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    try {
      handOff.RunOnMain([] { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error& e) {
      caught = std::string(e.what()) == "boom";
    }
    finished = true;
    handOff.Notify();
  });
  EXPECT_TRUE(handOff.ServeUntil([&] { return finished.load(); }, std::chrono::seconds(10)));
  worker.join();
  EXPECT_TRUE(caught.load());
}

TEST(HandOff, WakeUpIsCalledForEveryQueuedCall) {
  THandOff handOff;
  std::atomic<int> wakeUps{0};
  handOff.SetWakeUp([&] { ++wakeUps; });
  std::atomic<int> done{0};
  std::thread a([&] {
    handOff.RunOnMain([] {});
    ++done;
    handOff.Notify();
  });
  std::thread b([&] {
    handOff.RunOnMain([] {});
    ++done;
    handOff.Notify();
  });
  EXPECT_TRUE(handOff.ServeUntil([&] { return done.load() == 2; }, std::chrono::seconds(10)));
  a.join();
  b.join();
  EXPECT_EQ(wakeUps.load(), 2);
  EXPECT_EQ(handOff.Served(), 2u);
}

TEST(HandOff, ServeUntilGivesUpAfterItsTimeOut) {
  THandOff handOff;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(handOff.ServeUntil([] { return false; }, std::chrono::milliseconds(50)));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  EXPECT_EQ(handOff.Serve(), 0u);
}

TEST(HandOff, CopiesShareOneQueue) {
  THandOff handOff;
  const THandOff copy = handOff;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    copy.RunOnMain([] {});
    finished = true;
    copy.Notify();
  });
  EXPECT_TRUE(handOff.ServeUntil([&] { return finished.load(); }, std::chrono::seconds(10)));
  worker.join();
  EXPECT_EQ(handOff.Served(), 1u);
}

} // namespace
} // namespace rv58
