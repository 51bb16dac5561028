// The logind client (LogindSleepInhibitor) and the power source made of it
// (PowerSourceLogind), against python-dbusmock's logind on a private bus. Each
// test runs on a main context of its own, pushed as the thread default: nothing
// of the client may lean on GLib's global default context.
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

struct ThreadDefaultContext {
  GMainContext* context = g_main_context_new();
  ThreadDefaultContext() { g_main_context_push_thread_default(context); }
  ~ThreadDefaultContext() {
    // What the client left to run (its last references on the context) runs first.
    while (g_main_context_iteration(context, FALSE)) continue;
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
  }
};

class LogindTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { bus_ = new PrivateSystemBus; }
  static void TearDownTestSuite() { delete bus_; }
  void SetUp() override {
    ASSERT_TRUE(bus_->ok()) << bus_->error();
    logind_ = std::make_unique<MockLogind>(*bus_, kLimitUSec);
    ASSERT_TRUE(logind_->ok()) << logind_->error();
  }

  static LogindSleepInhibitor::Options options(int failureRetryMs = 60000) {
    LogindSleepInhibitor::Options options;
    options.why = kWhy;
    options.busAddress = bus_->address();
    options.busyRetryMs = 5;
    options.failureRetryMs = failureRetryMs;  // by default only a busy answer is asked again
    return options;
  }
  // Records each event, and whether the lock was held or asked for when it came.
  void start(int failureRetryMs = 60000) {
    inhibitor_ = LogindSleepInhibitor::start(options(failureRetryMs), [this](bool) {
      events_.push_back({inhibitor_->holdsLock(), inhibitor_->lockRequestedForTesting()});
    });
    ASSERT_TRUE(inhibitor_);
  }
  bool lockComes() {
    return runUntil([&] { return inhibitor_->holdsLock(); });
  }
  // `logind` lists exactly `count` locks, all ours (a closed fd is gone at once).
  static bool locksAre(size_t count, MockLogind& logind) {
    return runUntil([&] {
      auto list = logind.inhibitors();
      for (const auto& entry : list)
        if (entry != Inhibitor{"sleep", "Hushmoor", kWhy, "delay"}) return false;
      return list.size() == count;
    });
  }
  bool locksAre(size_t count) { return locksAre(count, *logind_); }
  // A wake (or sleep) announced and delivered, `held` Inhibit calls then waiting at logind.
  bool announce(bool goingToSleep, unsigned held = 0) {
    const size_t before = events_.size();
    logind_->emitPrepareForSleep(goingToSleep);
    return runUntil([&] {
      return events_.size() > before && (held == 0 || logind_->holdInhibit(true) == held);
    });
  }

  struct Event {
    bool lockHeld, lockRequested;
  };
  ThreadDefaultContext context_;
  static inline PrivateSystemBus* bus_ = nullptr;
  std::unique_ptr<MockLogind> logind_;
  std::unique_ptr<LogindSleepInhibitor> inhibitor_;
  std::vector<Event> events_;
};

// (Without logind the start fails too: the end-to-end tests show the application
// saying so.)
TEST_F(LogindTest, AStartRefusedByLogindFailsWithItsReasonAndLeavesNoLock) {
  // One refusal only: a retry would have succeeded and left a lock behind.
  logind_->failInhibit("org.freedesktop.DBus.Error.AccessDenied", 1);
  SystemError error;
  EXPECT_FALSE(LogindSleepInhibitor::start(options(), nullptr, &error));
  EXPECT_NE(error.description.find("refused by the test"), std::string::npos) << error.description;
  // Refused for lack of rights: the log and the panel name the likely causes.
  EXPECT_TRUE(error.accessRefused() &&
              error.description.find(LogindSleepInhibitor::kAccessRefusedCauses) !=
                  std::string::npos);
  PowerSourceLogind power({options(), nullptr});
  logind_->failInhibit("org.freedesktop.DBus.Error.AccessDenied", 1);
  EXPECT_EQ(power.registerForSystemPower(nullptr), 0u);
  EXPECT_STREQ(power.registrationFailureCauses().c_str(),
               LogindSleepInhibitor::kAccessRefusedCauses);
  EXPECT_TRUE(locksAre(0));
}

TEST_F(LogindTest, ABusyOrRefusingLogindIsAskedAgainUntilItGrantsACloseOnExecLock) {
  logind_->failInhibit(kBusy, 3);
  start(5);  // a busy logind is not a refusal
  EXPECT_TRUE(lockComes());
  for (const char* answer : {kBusy, "org.freedesktop.DBus.Error.AccessDenied"}) {  // after a wake
    inhibitor_->releaseLock();  // a sleep acknowledged
    logind_->failInhibit(answer, 3);
    ASSERT_TRUE(announce(false));
    EXPECT_TRUE(lockComes()) << answer;
  }
  EXPECT_TRUE(locksAre(1));
  EXPECT_TRUE(::fcntl(inhibitor_->lockFdForTesting(), F_GETFD) & FD_CLOEXEC);
}

TEST_F(LogindTest, TheWakeIsReportedWhileASlowLogindHasNotAnsweredAndTheLockFollows) {
  start();
  inhibitor_->releaseLock();
  logind_->holdInhibit(true);
  ASSERT_TRUE(announce(false, 1));
  EXPECT_FALSE(events_[0].lockHeld);
  EXPECT_TRUE(events_[0].lockRequested);
  ASSERT_TRUE(announce(false, 2));  // a second wake replaces the pending request
  EXPECT_EQ(logind_->holdInhibit(false), 2u);
  EXPECT_TRUE(lockComes());
  EXPECT_TRUE(locksAre(1)) << "the replaced request's lock is closed, not kept";
  EXPECT_FALSE(inhibitor_->lockRequestedForTesting()) << "nothing left to ask for";

  // Still pending when the next sleep is announced, the request is dropped: a
  // lock granted then would only hold that sleep back.
  inhibitor_->releaseLock();
  logind_->holdInhibit(true);
  ASSERT_TRUE(announce(false, 1));
  ASSERT_TRUE(announce(true));
  logind_->holdInhibit(false);
  EXPECT_TRUE(locksAre(0));
}

TEST_F(LogindTest, ANewLogindInstanceGetsANewLockAndTheOldOnesAnswerIsDropped) {
  start();
  logind_->stop();  // gone: its lock went with it
  EXPECT_TRUE(runUntil([&] { return !inhibitor_->holdsLock(); }));
  logind_ = std::make_unique<MockLogind>(*bus_, kLimitUSec);
  EXPECT_TRUE(lockComes());
  EXPECT_TRUE(locksAre(1));

  // Taken over while our request waits at the old instance, which answers late.
  inhibitor_->releaseLock();
  logind_->holdInhibit(true);
  ASSERT_TRUE(announce(false, 1));
  MockLogind successor(*bus_, kLimitUSec);
  ASSERT_TRUE(successor.ok());
  EXPECT_TRUE(lockComes());
  EXPECT_EQ(logind_->holdInhibit(false), 1u);
  EXPECT_TRUE(locksAre(0)) << "the old instance's late lock is closed";
  EXPECT_TRUE(locksAre(1, successor));
}

TEST_F(LogindTest, TeardownLeavesNoLockAndNoCallbackBehind) {
  enum What { Held, Pending, Retrying };
  for (What what : {Held, Pending, Retrying}) {
    SCOPED_TRACE(what);
    start();
    if (what != Held) {
      inhibitor_->releaseLock();
      if (what == Pending) logind_->holdInhibit(true);
      if (what == Retrying) logind_->failInhibit(kBusy, 1000);
      ASSERT_TRUE(announce(false, what == Pending ? 1 : 0));
    }
    inhibitor_.reset();  // a reply or a retry must not reach the dead client (ASan)
    logind_->holdInhibit(false);
    logind_->failInhibit(kBusy, 0);
    EXPECT_TRUE(locksAre(0));
  }
}

TEST_F(LogindTest, PowerSourceAcknowledgesEachSleepOnceAndOnlyBeforeItsWake) {
  PowerSourceLogind::Options options;
  options.logind = this->options();
  std::vector<std::optional<uint64_t>> limits;
  options.delayLimitObserver = [&](std::optional<uint64_t> limit) { limits.push_back(limit); };
  PowerSourceLogind power(options);
  std::vector<std::pair<uint32_t, intptr_t>> got;
  const uint32_t r =
      power.registerForSystemPower([&](uint32_t type, intptr_t id) { got.emplace_back(type, id); });
  ASSERT_NE(r, 0u);
  EXPECT_EQ(limits, (std::vector<std::optional<uint64_t>>{kLimitUSec}));
  auto post = [&](bool goingToSleep) {
    logind_->emitPrepareForSleep(goingToSleep);
    return runUntil([&, n = got.size()] { return got.size() > n; });
  };

  ASSERT_TRUE(post(true));
  EXPECT_EQ(got[0].first, kIOMessageSystemWillSleep);
  EXPECT_FALSE(power.allowPowerChange(r, got[0].second + 1000)) << "unknown id";
  EXPECT_FALSE(power.allowPowerChange(r + 1, got[0].second)) << "unknown registration";
  EXPECT_TRUE(locksAre(1)) << "held until the sleep's own acknowledgement";
  ASSERT_TRUE(post(false));  // the sleep failed before we answered
  EXPECT_EQ(got[1].first, kIOMessageSystemHasPoweredOn);
  EXPECT_FALSE(power.allowPowerChange(r, got[0].second)) << "stale after the wake";
  EXPECT_FALSE(power.allowPowerChange(r, got[1].second)) << "a wake needs no answer";
  EXPECT_TRUE(locksAre(1)) << "the lock taken for the next sleep stays";

  ASSERT_TRUE(post(true));
  EXPECT_NE(got[2].second, got[0].second) << "each will-sleep has a fresh identifier";
  EXPECT_TRUE(power.allowPowerChange(r, got[2].second));
  EXPECT_FALSE(power.allowPowerChange(r, got[2].second)) << "only once";
  EXPECT_TRUE(locksAre(0));
  ASSERT_TRUE(post(false));
  EXPECT_TRUE(locksAre(1));
  power.deregister(r);
  EXPECT_TRUE(locksAre(0));
  power.registerForSystemPower([&](uint32_t type, intptr_t) { got.emplace_back(type, -1); });
  ASSERT_TRUE(post(true));  // heard by the new registration: the old one would have heard it too
  EXPECT_EQ(got.size(), 5u);
  EXPECT_EQ(got.back().second, -1) << "nothing after deregistration";
}

}  // namespace
