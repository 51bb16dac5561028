// The logind client (LogindSleepInhibitor) and the power source made of it
// (PowerSourceLogind), against python-dbusmock's logind on a private bus.
// The whole path, through the executable, is HushmoorEndToEndTest's; the
// power-source contract is LinuxBackendsContractTest's.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/iokit/IOMessage.h"
#include "platform/iokit/PowerSourceLogind.h"
#include "platform/linux/LogindSleepInhibitor.h"
#include "tests/linux/support/TestBus.h"

namespace {

const char* const kWhy = "Switching the radio off first";
const char* const kBusy = "org.freedesktop.login1.OperationInProgress";
constexpr uint64_t kLimitUSec = 30000000;  // not logind's default: it must be read

class LogindTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { bus_ = new PrivateSystemBus; }
  static void TearDownTestSuite() { delete bus_; }
  void SetUp() override {
    ASSERT_TRUE(bus_->ok()) << bus_->error();
    logind_ = std::make_unique<MockLogind>(*bus_, kLimitUSec);
    ASSERT_TRUE(logind_->ok()) << logind_->error();
  }

  LogindSleepInhibitor::Options options() const {
    LogindSleepInhibitor::Options options;
    options.why = kWhy;
    options.busAddress = bus_->address();
    options.retakeIntervalMs = 5;
    options.backgroundRetryMs = 20;
    return options;
  }
  std::unique_ptr<LogindSleepInhibitor> start(std::string* error = nullptr) {
    return LogindSleepInhibitor::start(
        options(),
        [this](bool goingToSleep) {
          events_.push_back(goingToSleep);
          lockHeldAtEvent_.push_back(inhibitor_ && inhibitor_->holdsLock());
        },
        error);
  }
  // logind lists exactly `count` locks, all ours, once it has seen closed fds go.
  bool locksAre(size_t count) {
    runUntil([] { return false; }, 50);
    return runUntil([&] {
      auto list = logind_->inhibitors();
      for (const auto& entry : list)
        if (entry != Inhibitor{"sleep", "Hushmoor", kWhy, "delay"}) return false;
      return list.size() == count;
    });
  }

  static inline PrivateSystemBus* bus_ = nullptr;
  std::unique_ptr<MockLogind> logind_;
  std::unique_ptr<LogindSleepInhibitor> inhibitor_;
  std::vector<bool> events_;
  std::vector<bool> lockHeldAtEvent_;
};

TEST_F(LogindTest, HoldsOneCloseOnExecDelayLockAfterStartAndReadsTheDelayLimit) {
  std::string error;
  inhibitor_ = start(&error);
  ASSERT_TRUE(inhibitor_) << error;
  EXPECT_TRUE(locksAre(1));
  const int flags = ::fcntl(inhibitor_->lockFd(), F_GETFD);
  ASSERT_GE(flags, 0);
  EXPECT_TRUE(flags & FD_CLOEXEC);
  EXPECT_EQ(inhibitor_->inhibitDelayMaxUSec(), std::optional<uint64_t>(kLimitUSec));
}

TEST_F(LogindTest, RetakeRetriesWhileTheOperationIsStillRunning) {
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
    ASSERT_TRUE(locksAre(0));
    logind_->failInhibit(kBusy, c.busyAnswers);
    logind_->emitPrepareForSleep(false);
    ASSERT_TRUE(runUntil([&] { return events_.size() == 1; }));
    EXPECT_FALSE(events_[0]);
    EXPECT_EQ(lockHeldAtEvent_[0], c.heldAtWake) << "the wake is reported even without a lock";
    // Beyond them the lock is asked for in the background until logind agrees.
    EXPECT_TRUE(runUntil([&] { return inhibitor_->holdsLock(); }));
    EXPECT_TRUE(locksAre(1));
  }
}

TEST_F(LogindTest, BackgroundRetryEndsWithTheInhibitor) {
  inhibitor_ = start();
  ASSERT_TRUE(inhibitor_);
  inhibitor_->releaseLock();
  logind_->failInhibit(kBusy, 1000);
  logind_->emitPrepareForSleep(false);
  ASSERT_TRUE(runUntil([&] { return events_.size() == 1; }));
  inhibitor_.reset();  // its timer must not fire on a dead object (ASan would tell)
  runUntil([] { return false; }, 100);
  logind_->failInhibit(kBusy, 0);
  EXPECT_TRUE(locksAre(0));
}

TEST_F(LogindTest, StartFailsWithAReasonAndLeavesNoLock) {
  struct Case {
    const char* label;
    const char* refusal;  // logind refuses the first lock request with it
    bool logindGone, busGone;
    const char* reason;
  };
  const Case cases[] = {
      // One refusal only: a retry would have succeeded and left a lock behind.
      {"refused", "org.freedesktop.DBus.Error.AccessDenied", false, false, "refused by the test"},
      {"no_logind", nullptr, true, false, "org.freedesktop.login1"},
      {"no_bus", nullptr, true, true, "cannot connect"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    if (c.refusal) logind_->failInhibit(c.refusal, 1);
    if (c.logindGone) logind_.reset();
    LogindSleepInhibitor::Options options = this->options();
    if (c.busGone) options.busAddress = "unix:path=/nonexistent/hushmoor-bus";
    std::string error;
    EXPECT_FALSE(LogindSleepInhibitor::start(options, nullptr, &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    if (logind_) {
      EXPECT_TRUE(locksAre(0));
    }
  }
}

TEST_F(LogindTest, AnAcknowledgementCountsOnlyForItsOwnSleepAndDeregisteringDropsTheLock) {
  PowerSourceLogind::Options options;
  options.logind = this->options();
  std::vector<std::optional<uint64_t>> limits;
  options.delayLimitObserver = [&](std::optional<uint64_t> limit) { limits.push_back(limit); };
  PowerSourceLogind power(options);
  std::vector<std::pair<uint32_t, intptr_t>> got;
  const uint32_t registration =
      power.registerForSystemPower([&](uint32_t type, intptr_t id) { got.emplace_back(type, id); });
  ASSERT_NE(registration, 0u);
  EXPECT_EQ(limits, (std::vector<std::optional<uint64_t>>{kLimitUSec}));

  logind_->emitPrepareForSleep(true);
  ASSERT_TRUE(runUntil([&] { return got.size() == 1; }));
  EXPECT_EQ(got[0].first, kIOMessageSystemWillSleep);
  EXPECT_FALSE(power.allowPowerChange(registration, got[0].second + 1000)) << "unknown id";
  EXPECT_TRUE(locksAre(1)) << "held until the sleep's own acknowledgement";
  logind_->emitPrepareForSleep(false);  // the sleep failed before we answered
  ASSERT_TRUE(runUntil([&] { return got.size() == 2; }));
  EXPECT_EQ(got[1].first, kIOMessageSystemHasPoweredOn);
  EXPECT_FALSE(power.allowPowerChange(registration, got[0].second)) << "stale after the wake";
  EXPECT_TRUE(locksAre(1)) << "the lock taken for the next sleep stays";

  logind_->emitPrepareForSleep(true);
  ASSERT_TRUE(runUntil([&] { return got.size() == 3; }));
  EXPECT_NE(got[2].second, got[0].second) << "each will-sleep has a fresh identifier";
  power.deregister(registration);  // during the sleep: it goes ahead without us
  EXPECT_TRUE(locksAre(0));
}

}  // namespace
