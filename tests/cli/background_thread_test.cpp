#include "cli/background_thread.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <thread>

namespace {

TEST(BackgroundThread, RunsEveryJobOnOneKeptThreadAndHandsBackWhatItThrows) {
  BackgroundThread worker;
  std::thread::id first, second;
  worker.start([&] { first = std::this_thread::get_id(); });
  worker.wait();
  worker.start([&] { second = std::this_thread::get_id(); });
  worker.wait();
  EXPECT_NE(first, std::thread::id());
  EXPECT_NE(first, std::this_thread::get_id());
  EXPECT_EQ(first, second) << "a job ran on a thread of its own";

  worker.start([] { throw std::runtime_error("job failed"); });
  EXPECT_THROW(worker.wait(), std::runtime_error);
  worker.wait();  // the failure is handed back once

  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  worker.start([released] { released.wait(); });
  EXPECT_THROW(worker.start([] {}), std::logic_error) << "a second job was taken before the first was waited for";
  release.set_value();
  worker.wait();
}

}  // namespace
