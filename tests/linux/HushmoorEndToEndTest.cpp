// The shipped executable on a machine made of test doubles: python-dbusmock's
// logind on a private system bus, a fake sysfs tree, and a FIFO in place of
// /dev/rfkill that the test reads as the kernel would, applying each change to
// the fake tree. Panels go to the log (no display).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/rfkill.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "tests/linux/support/FakeSysfs.h"
#include "tests/linux/support/TestBus.h"
#include "tests/support/TemporaryUserEnvironment.h"

#ifndef HUSHMOOR_EXECUTABLE
#error "HUSHMOOR_EXECUTABLE must name the built Hushmoor executable"
#endif

namespace {

using Clock = std::chrono::steady_clock;

class HushmoorEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus_.ok()) << bus_.error();
    sys_.addInterface("lo", 1);
    sys_.addInterface("wlp2s0", 3, "phy0");
    sys_.addRfkill("phy0", 0, false, false);
    const auto device = sys_.root() / "dev" / "rfkill";
    std::filesystem::remove(device);
    ASSERT_EQ(::mkfifo(device.c_str(), 0600), 0);
    // Held open for reading all along, so the application's writes never block.
    kernel_ = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(kernel_, 0);
    home_ = sys_.root() / "home";
    std::filesystem::create_directories(home_);
    log_ = (sys_.root() / "hushmoor.log").string();
  }
  void TearDown() override {
    if (app_ > 0) stopChild(app_);
    if (kernel_ >= 0) ::close(kernel_);
  }

  void startLogind(uint64_t limitUSec = 5000000) {
    logind_ = std::make_unique<MockLogind>(bus_, limitUSec);
    ASSERT_TRUE(logind_->ok()) << logind_->error();
  }
  void launch(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{HUSHMOOR_EXECUTABLE};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string error;
    app_ = spawnChild(
        argv,
        {"DBUS_SYSTEM_BUS_ADDRESS=" + bus_.address(), "HUSHMOOR_TEST_ROOT=" + sys_.root().string(),
         "HOME=" + home_.string(), "XDG_CONFIG_HOME=" + (home_ / ".config").string(),
         "XDG_DATA_HOME=" + (home_ / ".local/share").string(), "DISPLAY", "WAYLAND_DISPLAY"},
        &error, log_);
    ASSERT_GT(app_, 0) << error;
  }
  std::string log() const {
    std::ifstream in(log_);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Reads what the application wrote to "/dev/rfkill" and does what the
  // kernel would: the radio's soft block follows each change.
  void pumpKernel() {
    rfkill_event event;
    while (::read(kernel_, &event, sizeof event) == static_cast<ssize_t>(sizeof event)) {
      requests_.push_back(event);
      if (event.op == RFKILL_OP_CHANGE && event.idx == 0)
        sys_.setBlocks("phy0", 0, event.soft, false);
    }
  }
  size_t locks() {
    size_t count = 0;
    for (const auto& entry : logind_->inhibitors())
      count += entry == Inhibitor{"sleep", "Hushmoor", std::get<2>(entry), "delay"};
    return count;
  }
  // Waits until logind lists `n` locks of ours; the kernel is served meanwhile,
  // after each look at the locks, so a write made before a release is always
  // seen by the time the release is.
  bool locksBecome(size_t n, int limitMs = 15000) {
    return runUntil(
        [&] {
          const size_t now = locks();
          pumpKernel();
          return now == n;
        },
        limitMs);
  }
  bool requestsBecome(size_t n) {
    return runUntil([&] {
      pumpKernel();
      return requests_.size() == n;
    });
  }
  static void expectChange(const rfkill_event& event, bool soft) {
    EXPECT_EQ(event.idx, 0u);
    EXPECT_EQ(event.type, RFKILL_TYPE_WLAN);
    EXPECT_EQ(event.op, RFKILL_OP_CHANGE);
    EXPECT_EQ(event.soft, soft ? 1 : 0);
  }

  // One sleep and wake with the radio on: off before the lock goes, the lock
  // held at least SleepDelay (1 s) after the announcement, on after the wake.
  void sleepAndWakeWithRadioOn() {
    requests_.clear();
    const auto announced = Clock::now();
    logind_->emitPrepareForSleep(true);
    ASSERT_TRUE(locksBecome(0)) << log();
    const auto released = Clock::now();
    ASSERT_EQ(requests_.size(), 1u) << "the radio goes off before the lock is released";
    expectChange(requests_[0], true);
    EXPECT_GE(released - announced, std::chrono::seconds(1)) << "SleepDelay was not waited";

    logind_->emitPrepareForSleep(false);
    ASSERT_TRUE(requestsBecome(2)) << log();
    expectChange(requests_[1], false);
    EXPECT_TRUE(locksBecome(1));
  }

  // Its own runtime folder, so that the System Events the application starts
  // (the build tree's, beside Hushmoor.app) is this test's and is stopped after it.
  TemporaryUserEnvironment user_;
  PrivateSystemBus bus_;
  FakeSysfs sys_;
  std::unique_ptr<MockLogind> logind_;
  std::filesystem::path home_;
  std::string log_;
  int kernel_ = -1;
  pid_t app_ = -1;
  std::vector<rfkill_event> requests_;
};

TEST_F(HushmoorEndToEndTest, SwitchesTheRadioAroundSleepsAndSurvivesALogindRestart) {
  startLogind();
  launch({"-SleepDelay", "1"});
  ASSERT_TRUE(locksBecome(1)) << log();

  sleepAndWakeWithRadioOn();
  sleepAndWakeWithRadioOn();

  // logind restarts: the application takes a lock from the new one.
  logind_.reset();
  startLogind();
  ASSERT_TRUE(locksBecome(1)) << log();

  // Radio off at sleep: no request, the lock goes at once; none after wake.
  sys_.setBlocks("phy0", 0, true, false);
  requests_.clear();
  logind_->emitPrepareForSleep(true);
  ASSERT_TRUE(locksBecome(0)) << log();
  logind_->emitPrepareForSleep(false);
  ASSERT_TRUE(locksBecome(1)) << log();

  // Radio on again: the next cycle's first request is "off", so the wake
  // before it asked for nothing.
  sys_.setBlocks("phy0", 0, false, false);
  sleepAndWakeWithRadioOn();

  // A wake without its announcement (as after a failed sleep): handled like
  // any wake, the radio was on at the last sleep so it is asked on again, and
  // the one lock stays one.
  requests_.clear();
  logind_->emitPrepareForSleep(false);
  ASSERT_TRUE(requestsBecome(1)) << log();
  expectChange(requests_[0], false);
  EXPECT_EQ(locks(), 1u);

  const std::string text = log();
  // The launch put the application's own bundle into the login items.
  const auto bundle =
      std::filesystem::path(HUSHMOOR_EXECUTABLE).parent_path().parent_path().parent_path();
  EXPECT_NE(text.find("INFO: added self to login items"), std::string::npos) << text;
  bool listed = false;
  for (const auto& entry : std::filesystem::directory_iterator(home_ / ".config" / "autostart")) {
    std::ifstream in(entry.path());
    std::stringstream keys;
    keys << in.rdbuf();
    listed |= keys.str().find("X-Hushmoor-Path=" + bundle.string() + "\n") != std::string::npos;
  }
  EXPECT_TRUE(listed) << bundle;
  EXPECT_EQ(text.find("error trying to turn airport"), std::string::npos) << text;
  EXPECT_EQ(text.find("couldn't get interface"), std::string::npos) << text;
  EXPECT_EQ(text.find("InhibitDelayMaxSec"), std::string::npos) << "1 s fits in 5 s: " << text;

  // SIGTERM ends it in order: the lock goes with the registration.
  ::kill(app_, SIGTERM);
  auto status = waitForExit(app_);
  ASSERT_TRUE(status.has_value()) << "still running after SIGTERM";
  app_ = -1;
  EXPECT_TRUE(WIFEXITED(*status)) << *status;
  EXPECT_TRUE(locksBecome(0));
}

TEST_F(HushmoorEndToEndTest, WarnsWhenLogindWouldNotWaitForSleepDelay) {
  startLogind(5000000);
  launch({});  // SleepDelay 5 by default: 5 s + margin does not fit in 5 s
  ASSERT_TRUE(locksBecome(1)) << log();
  ASSERT_TRUE(runUntil([&] { return log().find("InhibitDelayMaxSec") != std::string::npos; }))
      << log();
  const std::string text = log();
  const std::string warning = "WARN (warnAboutLogindDelayLimit:";
  const size_t first = text.find(warning);
  EXPECT_NE(first, std::string::npos) << text;
  EXPECT_EQ(first, text.rfind(warning)) << "one warning: " << text;
}

TEST_F(HushmoorEndToEndTest, WithoutLogindItSaysSoAndQuits) {
  launch({});
  auto status = waitForExit(app_);
  ASSERT_TRUE(status.has_value()) << "still running without logind";
  app_ = -1;
  const std::string text = log();
  EXPECT_NE(text.find("Failed to register for sleep notifications. Hushmoor cannot run."),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("no sleep notifications from systemd-logind"), std::string::npos) << text;
}

}  // namespace
