// LogindSleepInhibitor against python-dbusmock's logind on a private bus.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/linux/LogindSleepInhibitor.h"
#include "tests/linux/support/TestBus.h"

namespace {

const char* const kWhy = "Switching the radio off first";
const Inhibitor kOurLock{"sleep", "Hushmoor", kWhy, "delay"};

class LogindSleepInhibitorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { bus_ = new PrivateSystemBus; }
  static void TearDownTestSuite() {
    delete bus_;
    bus_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(bus_->ok()) << bus_->error();
    logind_ = std::make_unique<MockLogind>(*bus_);
    ASSERT_TRUE(logind_->ok()) << logind_->error();
  }

  std::unique_ptr<LogindSleepInhibitor> start(std::string* error = nullptr) {
    LogindSleepInhibitor::Options options;
    options.why = kWhy;
    options.busAddress = bus_->address();
    options.retakeIntervalMs = 5;
    options.backgroundRetryMs = 20;
    return LogindSleepInhibitor::start(
        options,
        [this](bool goingToSleep) {
          events_.push_back(goingToSleep);
          lockHeldAtEvent_.push_back(inhibitor_ && inhibitor_->holdsLock());
        },
        error);
  }
  bool inhibitorsAre(size_t count) {
    return runUntil([&] {
      auto list = logind_->inhibitors();
      for (const auto& entry : list)
        if (entry != kOurLock) return false;
      return list.size() == count;
    });
  }

  static PrivateSystemBus* bus_;
  std::unique_ptr<MockLogind> logind_;
  std::unique_ptr<LogindSleepInhibitor> inhibitor_;
  std::vector<bool> events_;
  std::vector<bool> lockHeldAtEvent_;
};
PrivateSystemBus* LogindSleepInhibitorTest::bus_ = nullptr;

TEST_F(LogindSleepInhibitorTest, HoldsOneCloseOnExecDelayLockAfterStart) {
  std::string error;
  inhibitor_ = start(&error);
  ASSERT_TRUE(inhibitor_) << error;
  EXPECT_TRUE(inhibitor_->holdsLock());
  EXPECT_TRUE(inhibitorsAre(1));
  const int flags = ::fcntl(inhibitor_->lockFd(), F_GETFD);
  ASSERT_GE(flags, 0);
  EXPECT_TRUE(flags & FD_CLOEXEC);
}

TEST_F(LogindSleepInhibitorTest, SleepCycleReleasesOnRequestAndRetakesAfterWake) {
  inhibitor_ = start();
  ASSERT_TRUE(inhibitor_);
  for (int cycle = 0; cycle < 2; ++cycle) {
    SCOPED_TRACE(cycle);
    events_.clear();
    lockHeldAtEvent_.clear();
    logind_->emitPrepareForSleep(true);
    ASSERT_TRUE(runUntil([&] { return events_.size() == 1; }));
    EXPECT_TRUE(events_[0]);
    // Announcing the sleep does not let go of the lock; only the owner does.
    EXPECT_TRUE(inhibitor_->holdsLock());
    EXPECT_TRUE(inhibitorsAre(1));
    inhibitor_->releaseLock();
    inhibitor_->releaseLock();  // a second release does nothing
    EXPECT_TRUE(inhibitorsAre(0));

    logind_->emitPrepareForSleep(false);
    ASSERT_TRUE(runUntil([&] { return events_.size() == 2; }));
    EXPECT_FALSE(events_[1]);
    EXPECT_TRUE(lockHeldAtEvent_[1]) << "the lock must be back before the wake is reported";
    EXPECT_TRUE(inhibitorsAre(1));
  }
}

TEST_F(LogindSleepInhibitorTest, UnpairedWakeKeepsExactlyOneLock) {
  // A failed sleep, or a wake seen without its announcement.
  inhibitor_ = start();
  ASSERT_TRUE(inhibitor_);
  const int fd = inhibitor_->lockFd();
  logind_->emitPrepareForSleep(false);
  ASSERT_TRUE(runUntil([&] { return events_.size() == 1; }));
  EXPECT_FALSE(events_[0]);
  EXPECT_EQ(inhibitor_->lockFd(), fd);
  EXPECT_TRUE(inhibitorsAre(1));
}

TEST_F(LogindSleepInhibitorTest, RetakeRetriesWhileTheOperationIsStillRunning) {
  struct Case {
    unsigned busyAnswers;
    bool heldAtWake;  // taken within the wake's own retries (20)
  };
  inhibitor_ = start();
  ASSERT_TRUE(inhibitor_);
  for (const Case& c : {Case{3, true}, Case{25, false}}) {
    SCOPED_TRACE(c.busyAnswers);
    events_.clear();
    lockHeldAtEvent_.clear();
    inhibitor_->releaseLock();
    ASSERT_TRUE(inhibitorsAre(0));
    logind_->failInhibit("org.freedesktop.login1.OperationInProgress", c.busyAnswers);
    logind_->emitPrepareForSleep(false);
    ASSERT_TRUE(runUntil([&] { return events_.size() == 1; }));
    EXPECT_FALSE(events_[0]);
    EXPECT_EQ(lockHeldAtEvent_[0], c.heldAtWake) << "the wake is reported even without a lock";
    // Beyond them the lock is asked for in the background until logind agrees.
    EXPECT_TRUE(runUntil([&] { return inhibitor_->holdsLock(); }));
    EXPECT_TRUE(inhibitorsAre(1));
  }
}

TEST_F(LogindSleepInhibitorTest, BackgroundRetryEndsWithTheInhibitor) {
  inhibitor_ = start();
  ASSERT_TRUE(inhibitor_);
  inhibitor_->releaseLock();
  logind_->failInhibit("org.freedesktop.login1.OperationInProgress", 1000);
  logind_->emitPrepareForSleep(false);
  ASSERT_TRUE(runUntil([&] { return events_.size() == 1; }));
  inhibitor_.reset();  // its timer must not fire on a dead object (ASan would tell)
  runUntil([] { return false; }, 100);
  logind_->failInhibit("org.freedesktop.login1.OperationInProgress", 0);
  EXPECT_TRUE(inhibitorsAre(0));
}

TEST_F(LogindSleepInhibitorTest, OtherRefusalsAreNotRetried) {
  logind_->failInhibit("org.freedesktop.DBus.Error.AccessDenied", 1);
  std::string error;
  inhibitor_ = start(&error);
  EXPECT_FALSE(inhibitor_);
  EXPECT_NE(error.find("refused by the test"), std::string::npos) << error;
  // One refusal only: a retry would have succeeded and left a lock behind.
  EXPECT_TRUE(inhibitorsAre(0));
}

TEST_F(LogindSleepInhibitorTest, TakesTheLockAgainWhenLogindRestarts) {
  inhibitor_ = start();
  ASSERT_TRUE(inhibitor_);
  logind_.reset();  // waits until the name is gone
  ASSERT_TRUE(runUntil([&] { return !inhibitor_->holdsLock(); }));
  logind_ = std::make_unique<MockLogind>(*bus_);
  ASSERT_TRUE(logind_->ok()) << logind_->error();
  EXPECT_TRUE(runUntil([&] { return inhibitor_->holdsLock(); }));
  EXPECT_TRUE(inhibitorsAre(1));
  // And the new instance's announcements arrive.
  logind_->emitPrepareForSleep(true);
  EXPECT_TRUE(runUntil([&] { return events_.size() == 1 && events_[0]; }));
}

TEST_F(LogindSleepInhibitorTest, DestructionDropsTheLock) {
  inhibitor_ = start();
  ASSERT_TRUE(inhibitor_);
  ASSERT_TRUE(inhibitorsAre(1));
  inhibitor_.reset();
  EXPECT_TRUE(inhibitorsAre(0));
  // No longer subscribed: an announcement reaches nobody.
  logind_->emitPrepareForSleep(true);
  runUntil([] { return false; }, 100);
  EXPECT_TRUE(events_.empty());
}

TEST_F(LogindSleepInhibitorTest, ReadsInhibitDelayMax) {
  logind_.reset();
  logind_ = std::make_unique<MockLogind>(*bus_, 30000000);
  ASSERT_TRUE(logind_->ok()) << logind_->error();
  inhibitor_ = start();
  ASSERT_TRUE(inhibitor_);
  EXPECT_EQ(inhibitor_->inhibitDelayMaxUSec(), std::optional<uint64_t>(30000000));
}

TEST_F(LogindSleepInhibitorTest, FailsWithoutLogind) {
  logind_.reset();
  std::string error;
  inhibitor_ = start(&error);
  EXPECT_FALSE(inhibitor_);
  EXPECT_NE(error.find("org.freedesktop.login1"), std::string::npos) << error;

  LogindSleepInhibitor::Options noBus;
  noBus.busAddress = "unix:path=/nonexistent/hushmoor-bus";
  error.clear();
  EXPECT_FALSE(LogindSleepInhibitor::start(noBus, nullptr, &error));
  EXPECT_NE(error.find("cannot connect"), std::string::npos) << error;
}

}  // namespace
