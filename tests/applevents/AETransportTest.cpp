// The event transport between processes: replies, time-outs, peers that die
// and peers of another user.
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/applevents/AEEventServer.h"
#include "platform/applevents/AERuntimeFolder.h"
#include "platform/applevents/AESend.h"
#include "platform/applevents/ScopedAEDesc.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr OSType kTestCreator = FOUR_CHAR_CODE("test");

// An event server running on its own thread and main context.
class ThreadedServer {
 public:
  explicit ThreadedServer(AEEventHandlerFn handler, OSType creator = kTestCreator) {
    context_ = g_main_context_new();
    status_ = AEEventServer::create(creator, std::move(handler), context_, &server_);
    if (status_ == noErr) {
      thread_ = std::thread([this] {
        while (!stop_) g_main_context_iteration(context_, TRUE);
      });
    }
  }
  ~ThreadedServer() {
    if (thread_.joinable()) {
      stop_ = true;
      g_main_context_wakeup(context_);
      thread_.join();
    }
    server_.reset();
    g_main_context_unref(context_);
  }
  OSStatus status() const { return status_; }
  AEEventServer& server() { return *server_; }

 private:
  GMainContext* context_;
  std::unique_ptr<AEEventServer> server_;
  OSStatus status_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

OSStatus makeEvent(pid_t pid, AEEventID id, AppleEvent* event) {
  UInt32 psn[2] = {kPSNHighHalfOfProcesses, UInt32(pid)};
  ScopedAEDesc target;
  AECreateDesc(typeProcessSerialNumber, psn, 8, &target);
  return AECreateAppleEvent(kAECoreSuite, id, &target.get(), kAutoGenerateReturnID,
                            kAnyTransactionID, event);
}

// Echoes the direct object back, doubled for a 'long'.
void echo(const AppleEvent& event, AppleEvent* reply) {
  SInt32 value = 0;
  if (AEGetParamPtr(&event, keyDirectObject, typeSInt32, nullptr, &value, 4, nullptr) == noErr) {
    value *= 2;
    AEPutParamPtr(reply, keyDirectObject, typeSInt32, &value, 4);
  }
}

class AETransport : public ::testing::Test {
 protected:
  TemporaryUserEnvironment environment_;
};

// Where a process of this pid would publish itself under the test creator.
std::string socketPath(pid_t pid) {
  return ae_runtime::folder().value_or("/nonexistent") + "/" +
         ae_runtime::socketName(pid, kTestCreator);
}

// A Unix socket bound at the path (or connected to it); -1 on failure.
int unixSocket(const std::string& path, bool connectToIt = false) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  auto* a = reinterpret_cast<sockaddr*>(&address);
  if ((connectToIt ? connect(fd, a, sizeof address) : bind(fd, a, sizeof address)) == 0) return fd;
  close(fd);
  return -1;
}

// A child process that runs serve(readyFd); returned once it has written to
// readyFd (-1 when it ended before that).
template <class Serve>
pid_t forkPeer(Serve serve) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    serve(ready[1]);
    _exit(0);
  }
  close(ready[1]);
  char byte;
  bool ok = read(ready[0], &byte, 1) == 1;
  close(ready[0]);
  if (ok) return child;
  waitpid(child, nullptr, 0);
  return -1;
}

TEST_F(AETransport, RepliesMatchTheirRequests) {
  ThreadedServer server(echo);
  ASSERT_EQ(server.status(), noErr);
  UInt64 before = AEGetEventsSentCount();
  for (SInt32 i = 1; i <= 20; ++i) {
    ScopedAEDesc event, reply;
    ASSERT_EQ(makeEvent(getpid(), kAEGetData, &event), noErr);
    AEPutParamPtr(&event, keyDirectObject, typeSInt32, &i, 4);
    ASSERT_EQ(AESendMessage(&event.get(), &reply, kAEWaitReply, 300), noErr);
    SInt32 doubled = 0;
    ASSERT_EQ(
        AEGetParamPtr(&reply.get(), keyDirectObject, typeSInt32, nullptr, &doubled, 4, nullptr),
        noErr);
    EXPECT_EQ(doubled, 2 * i);
    // A no-reply event between them must not disturb the pairing.
    ScopedAEDesc quiet;
    makeEvent(getpid(), kAEDelete, &quiet);
    ASSERT_EQ(AESendMessage(&quiet.get(), nullptr, kAENoReply, 300), noErr);
  }
  EXPECT_EQ(AEGetEventsSentCount() - before, 40u);
}

TEST_F(AETransport, SendModesAndAddressesAreChecked) {
  ScopedAEDesc event, reply, noAddress;
  makeEvent(getpid(), kAEGetData, &event);
  EXPECT_EQ(AESendMessage(&event.get(), &reply, kAEQueueReply, 60), errAEUnknownSendMode);
  EXPECT_EQ(AESendMessage(&event.get(), nullptr, kAEWaitReply, 60), paramErr);
  AECreateAppleEvent(kAECoreSuite, kAEGetData, nullptr, kAutoGenerateReturnID, 0, &noAddress);
  EXPECT_EQ(AESendMessage(&noAddress.get(), &reply, kAEWaitReply, 60), errAEUnknownAddressType);
  EXPECT_EQ(reply.type(), typeNull);
}

TEST_F(AETransport, AProcessThatIsNotRunningIsNotFound) {
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  ScopedAEDesc event, reply;
  makeEvent(child, kAEGetData, &event);
  EXPECT_EQ(AESendMessage(&event.get(), &reply, kAEWaitReply, 300), procNotFound);
}

TEST_F(AETransport, APeerThatNeverAnswersTimesOutOnTime) {
  // A published socket that accepts connections (the backlog) but never reads.
  std::string path = socketPath(getpid());
  int fd = unixSocket(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(listen(fd, 4), 0);

  ScopedAEDesc event, reply;
  makeEvent(getpid(), kAEGetData, &event);
  auto start = Clock::now();
  EXPECT_EQ(AESendMessage(&event.get(), &reply, kAEWaitReply, 300), errAETimeout);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  // 300 ticks are 5 seconds; the bound above is generous for a loaded machine
  // but would catch a call that hangs on.
  EXPECT_GE(seconds, 4.9);
  EXPECT_LT(seconds, 30.0);
  EXPECT_EQ(reply.type(), typeNull);
  close(fd);
  unlink(path.c_str());
}

TEST_F(AETransport, APeerThatDiesMidRequestEndsTheCall) {
  // The child publishes itself under its own pid, reads part of a request and dies.
  pid_t child = forkPeer([](int ready) {
    int fd = unixSocket(socketPath(getpid()));
    if (fd < 0 || listen(fd, 1) != 0 || write(ready, "x", 1) != 1) _exit(2);
    // Look-ups probe the socket with empty connections; the request is the
    // first connection that carries data.
    for (;;) {
      int connection = accept(fd, nullptr, nullptr);
      char header[8];
      if (read(connection, header, sizeof header) > 0) _exit(0);  // gone before answering
      close(connection);
    }
  });
  ASSERT_GT(child, 0);
  ScopedAEDesc event, reply;
  makeEvent(child, kAEGetData, &event);
  auto start = Clock::now();
  EXPECT_EQ(AESendMessage(&event.get(), &reply, kAEWaitReply, 600), connectionInvalid);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));  // not left waiting for the time-out
  waitpid(child, nullptr, 0);
}

TEST_F(AETransport, APeerOfAnotherUserIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run a peer as nobody";
  std::string path = socketPath(getpid());
  // The socket is bound here, then the peer becomes nobody before it listens,
  // so the connection's peer credentials are nobody's.
  pid_t child = forkPeer([&path](int ready) {
    int fd = unixSocket(path);
    if (fd < 0 || setgid(65534) != 0 || setuid(65534) != 0 || listen(fd, 1) != 0 ||
        write(ready, "x", 1) != 1)
      _exit(5);
    for (;;) {  // look-ups probe first; serve every connection until killed
      int connection = accept(fd, nullptr, nullptr);
      char buffer[64];
      while (read(connection, buffer, sizeof buffer) > 0) {
      }
      close(connection);
    }
  });
  ASSERT_GT(child, 0);
  ScopedAEDesc event, reply;
  makeEvent(getpid(), kAEGetData, &event);
  EXPECT_EQ(AESendMessage(&event.get(), &reply, kAEWaitReply, 300), errAEPrivilegeError);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  unlink(path.c_str());
}

TEST_F(AETransport, TheServerRefusesClientsOfAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to connect as nobody";
  ThreadedServer server(echo);
  ASSERT_EQ(server.status(), noErr);
  std::string path = server.server().socketPath();
  pid_t child = fork();
  if (child == 0) {
    // Effective user nobody (what the server sees), while file access stays root's.
    if (setresgid(65534, 65534, 0) != 0 || setresuid(65534, 65534, 0) != 0) _exit(5);
    setfsuid(0);
    int fd = unixSocket(path, true);
    if (fd < 0) _exit(6);
    char buffer[8];
    // The server closes the connection at once: end of file, not a hang.
    _exit(read(fd, buffer, sizeof buffer) == 0 ? 0 : 7);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(server.server().refusedPeers(), 1u);
}

TEST_F(AETransport, AnEventToAProcessStillStartingIsDeliveredWhenItIsReady) {
  std::unique_ptr<ThreadedServer> late;
  std::thread starter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    late = std::make_unique<ThreadedServer>(echo);
  });
  ScopedAEDesc event, reply;
  makeEvent(getpid(), kAEGetData, &event);
  SInt32 value = 21;
  AEPutParamPtr(&event, keyDirectObject, typeSInt32, &value, 4);
  EXPECT_EQ(AESendMessage(&event.get(), &reply, kAEWaitReply, 300), noErr);
  starter.join();
  SInt32 doubled = 0;
  AEGetParamPtr(&reply.get(), keyDirectObject, typeSInt32, nullptr, &doubled, 4, nullptr);
  EXPECT_EQ(doubled, 42);
}

TEST_F(AETransport, OneServerPerCreator) {
  ThreadedServer first(echo);
  ASSERT_EQ(first.status(), noErr);
  ThreadedServer second(echo);
  EXPECT_EQ(second.status(), kAECreatorAlreadyServedErr);
}

}  // namespace
