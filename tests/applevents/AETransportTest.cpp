// The event transport between processes: replies matched to requests, frames
// that are not ours, peers of another user, the runtime folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <thread>

#include "loginitems/LoginItemsAE.h"
#include "platform/applevents/AEEventServer.h"
#include "platform/applevents/AEFlatten.h"
#include "platform/applevents/AEFrame.h"
#include "platform/applevents/AERuntimeFolder.h"
#include "platform/applevents/AESend.h"
#include "platform/applevents/ScopedAEDesc.h"
#include "platform/foundation/LogSinkCapture.h"
#include "platform/foundation/PlatformServices.h"
#include "systemevents/SystemEventsControl.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

constexpr OSType kTestCreator = FOUR_CHAR_CODE("test");

// An event server running on its own thread and main context.
struct ThreadedServer {
  explicit ThreadedServer(AEEventHandlerFn handler, AEEventServerLimits limits = {})
      : status(AEEventServer::create(kTestCreator, std::move(handler), context, &server, limits)) {
    thread = std::thread([this] {
      while (!stop) g_main_context_iteration(context, TRUE);
    });
  }
  ~ThreadedServer() {
    stop = true;
    g_main_context_wakeup(context);
    thread.join();
    server.reset();
    g_main_context_unref(context);
  }
  GMainContext* context = g_main_context_new();
  std::unique_ptr<AEEventServer> server;
  OSStatus status;
  std::atomic<bool> stop{false};
  std::thread thread;
};

void makeEvent(pid_t pid, AEEventID id, SInt32 value, AppleEvent* event) {
  UInt32 psn[2] = {kPSNHighHalfOfProcesses, UInt32(pid)};
  ScopedAEDesc target;
  AECreateDesc(typeProcessSerialNumber, psn, 8, &target);
  AECreateAppleEvent(kAECoreSuite, id, &target.get(), kAutoGenerateReturnID, kAnyTransactionID,
                     event);
  AEPutParamPtr(event, keyDirectObject, typeSInt32, &value, 4);
}

SInt32 valueOf(const AppleEvent& event) {
  SInt32 value = 0;
  AEGetParamPtr(&event, keyDirectObject, typeSInt32, nullptr, &value, 4, nullptr);
  return value;
}

// Echoes the direct object back, doubled.
void echo(const AppleEvent& event, AppleEvent* reply) {
  SInt32 value = valueOf(event) * 2;
  AEPutParamPtr(reply, keyDirectObject, typeSInt32, &value, 4);
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

std::string publishedPath(pid_t pid, OSType creator = kTestCreator) {
  return ae_runtime::folder().value_or("/nonexistent") + "/" + ae_runtime::socketName(pid, creator);
}

// True when the server closes fd within a few seconds (a hang guard), read or not.
bool closedByServer(int fd, int timeoutMs = 5000) {
  pollfd p{fd, POLLRDHUP, 0};
  return poll(&p, 1, timeoutMs) == 1;
}

class AETransport : public ::testing::Test {
 protected:
  TemporaryUserEnvironment environment_;
};

TEST_F(AETransport, RepliesMatchTheirRequests) {
  ThreadedServer server(echo);
  ASSERT_EQ(server.status, noErr);
  UInt64 before = AEGetEventsSentCount();
  for (SInt32 i = 1; i <= 5; ++i) {
    ScopedAEDesc event, reply, quiet;
    makeEvent(getpid(), kAEGetData, i, &event);
    ASSERT_EQ(AESendMessage(&event.get(), &reply, kAEWaitReply, 300), noErr);
    EXPECT_EQ(valueOf(reply.get()), 2 * i);
    // A no-reply event between them must not disturb the pairing.
    makeEvent(getpid(), kAEDelete, 0, &quiet);
    ASSERT_EQ(AESendMessage(&quiet.get(), nullptr, kAENoReply, 300), noErr);
  }
  EXPECT_EQ(AEGetEventsSentCount() - before, 10u);
  ThreadedServer second(echo);
  EXPECT_EQ(second.status, kAECreatorAlreadyServedErr) << "one server per creator";
}

TEST_F(AETransport, AnAnswerToAnotherRequestIsNotTakenAsTheReply) {
  // A peer that answers every request first with a stale answer (another
  // return ID, value 1), then with the right one (value 2).
  int listener = unixSocket(publishedPath(getpid()));
  ASSERT_GE(listener, 0);
  ASSERT_EQ(listen(listener, 4), 0);
  std::thread peer([listener] {
    std::vector<UInt8> payload;
    UInt8 flags;
    int fd;
    do {  // look-ups probe with empty connections first
      fd = accept(listener, nullptr, nullptr);
    } while (ae_frame::readFrame(fd, &payload, &flags, ae_frame::kNoDeadline) !=
                 ae_frame::IOResult::Done &&
             close(fd) == 0);
    ScopedAEDesc request;
    AEReturnID id = 0;
    AEUnflattenFromBytes(payload.data(), payload.size(), &request);
    AEGetAttributePtr(&request.get(), keyReturnIDAttr, typeSInt16, nullptr, &id, 2, nullptr);
    for (SInt32 value : {1, 2}) {
      ScopedAEDesc answer;
      AECreateAppleEvent(kCoreEventClass, kAEAnswer, nullptr, AEReturnID(id + 2 - value), 0,
                         &answer);
      AEPutParamPtr(&answer, keyDirectObject, typeSInt32, &value, 4);
      std::vector<UInt8> flat;
      AEFlattenToBytes(&answer.get(), &flat);
      auto frame = ae_frame::encode(flat, 0);
      ae_frame::writeAll(fd, frame.data(), frame.size(), ae_frame::kNoDeadline);
    }
    close(fd);
  });
  ScopedAEDesc event, reply;
  makeEvent(getpid(), kAEGetData, 0, &event);
  EXPECT_EQ(AESendMessage(&event.get(), &reply, kAEWaitReply, 300), noErr);
  EXPECT_EQ(valueOf(reply.get()), 2);
  peer.join();
  close(listener);
}

TEST_F(AETransport, TheServerDropsAClientWhoseFramesAreNotOurs) {
  ThreadedServer server(echo, {.maxMessage = 1024, .idleLimit = std::chrono::minutes(1)});
  ASSERT_EQ(server.status, noErr);
  ScopedAEDesc event;
  makeEvent(getpid(), kAEGetData, 1, &event);
  std::vector<UInt8> flat;
  ASSERT_EQ(AEFlattenToBytes(&event.get(), &flat), noErr);
  const auto good = ae_frame::encode(flat, ae_frame::kFlagReplyWanted);
  auto reserved = good, huge = good;
  reserved[5] = 1;
  huge.resize(ae_frame::kHeaderSize);
  huge[2] = 4, huge[3] = 1;  // 1025 bytes, one more than this server reads
  for (const auto& [why, frame] :
       {std::pair{"a reserved byte set", reserved}, {"too long", huge}}) {
    int fd = unixSocket(server.server->socketPath(), true);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, frame.data(), frame.size()), ssize_t(frame.size()));
    char byte;
    EXPECT_TRUE(closedByServer(fd)) << why << ": the connection stays open";
    EXPECT_LE(read(fd, &byte, 1), 0) << why << ": closed without an answer";
    close(fd);
  }
}

TEST_F(AETransport, NoClientKeepsTheServerFromAnswering) {
  {  // One peer gets no more than its share: its third connection is closed at once.
    ThreadedServer shares(echo, {.maxPerPeer = 2, .idleLimit = std::chrono::minutes(1)});
    const std::string path = shares.server->socketPath();
    int first = unixSocket(path, true), second = unixSocket(path, true);
    int third = unixSocket(path, true);
    EXPECT_TRUE(closedByServer(third));
    EXPECT_FALSE(closedByServer(first, 0)) << "the first two stay open";
    for (int fd : {first, second, third}) close(fd);
  }
  ThreadedServer server(
      echo, {.maxConnections = 4, .maxPerPeer = 4, .idleLimit = std::chrono::milliseconds(300)});
  const std::string path = server.server->socketPath();
  ScopedAEDesc request;
  makeEvent(getpid(), kAEGetData, 1, &request);
  std::vector<UInt8> flat;
  AEFlattenToBytes(&request.get(), &flat);
  const auto frame = ae_frame::encode(flat, ae_frame::kFlagReplyWanted);
  // What others do meanwhile: another process holds every connection; a
  // client sends requests until its socket is full and never reads a reply;
  // a client stops in the middle of a frame.
  for (const auto& [what, holder, requests, partial] : {std::tuple{"connections held", true, 0, 0},
                                                        {"replies unread", false, -1, 0},
                                                        {"half a frame", false, 0, 12}}) {
    pid_t child = holder ? fork() : -1;
    if (child == 0) {
      for (int i = 0; i < 4; ++i) unixSocket(path, true);
      raise(SIGSTOP);
      _exit(0);
    }
    if (child > 0) waitpid(child, nullptr, WUNTRACED);
    int stuck = unixSocket(path, true);
    fcntl(stuck, F_SETFL, O_NONBLOCK);
    // Written until the server takes no more of them, its reply not read.
    pollfd writable{stuck, POLLOUT, 0};
    for (int i = 0; i != requests &&
                    (write(stuck, frame.data(), frame.size()) > 0 || poll(&writable, 1, 200) == 1);
         ++i) {
    }
    EXPECT_TRUE(partial == 0 || write(stuck, frame.data(), partial) == partial) << what;
    ScopedAEDesc reply;
    EXPECT_EQ(AESendMessage(&request.get(), &reply, kAEWaitReply, 120), noErr) << what;
    EXPECT_EQ(valueOf(reply.get()), 2) << what;
    EXPECT_TRUE(holder || closedByServer(stuck)) << what << ": dropped after a while";
    close(stuck);
    if (child > 0) kill(child, SIGKILL), waitpid(child, nullptr, 0);
  }
}

TEST_F(AETransport, PeersOfAnotherUserAreRefusedBothWays) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run a peer as nobody";
  ThreadedServer server(echo);
  ASSERT_EQ(server.status, noErr);
  pid_t child = fork();
  if (child == 0) {
    // Effective user nobody (what the server sees), while file access stays root's.
    if (setresgid(65534, 65534, 0) != 0 || setresuid(65534, 65534, 0) != 0) _exit(5);
    setfsuid(0);
    int fd = unixSocket(server.server->socketPath(), true);
    char buffer[8];
    // The server closes the connection at once: end of file, not a hang.
    _exit(fd >= 0 && read(fd, buffer, sizeof buffer) == 0 ? 0 : 7);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(server.server->refusedPeers(), 1u);

  // A socket bound here whose listener then becomes nobody: the peer
  // credentials of a connection to it are nobody's.
  const std::string path = publishedPath(getppid());
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  int fd = unixSocket(path);
  child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0 || listen(fd, 4) != 0) _exit(5);
    if (write(ready[1], "x", 1) != 1) _exit(6);
    for (;;) close(accept(fd, nullptr, nullptr));
  }
  char byte;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ScopedAEDesc event, reply;
  makeEvent(getppid(), kAEGetData, 1, &event);
  EXPECT_EQ(AESendMessage(&event.get(), &reply, kAEWaitReply, 300), errAEPrivilegeError);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(fd);
  close(ready[0]);
  close(ready[1]);
}

TEST_F(AETransport, TheRuntimeFolderIsPrivateAndStaleSocketsAreNotListed) {
  auto folder = ae_runtime::folder();
  ASSERT_TRUE(folder);
  chmod(folder->c_str(), 0777);
  ASSERT_TRUE(ae_runtime::folder());
  struct stat st;
  stat(folder->c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "loosened permissions are tightened again";

  // A live pid whose socket no longer listens (the pid was reused), and a
  // listening one: only the second is a process.
  int stale = unixSocket(publishedPath(getppid()));
  int live = unixSocket(publishedPath(getpid()));
  ASSERT_EQ(listen(live, 4), 0);
  auto found = ae_runtime::publishedProcesses();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].pid, getpid());
  EXPECT_NE(access(publishedPath(getppid()).c_str(), F_OK), 0) << "the stale socket is removed";
  close(stale);
  close(live);

  // Without a runtime folder, hushmoor-events-<uid> in the temporary folder:
  // made 0700, or refused with a log line that says why.
  const std::string oldTmp = getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
  setenv("TMPDIR", environment_.root().c_str(), 1);
  unsetenv("XDG_RUNTIME_DIR");  // the private home puts it back
  const std::string fallback =
      environment_.root() + "/hushmoor-events-" + std::to_string(geteuid());
  auto log = std::make_shared<LogSinkCapture>();
  ScopedPlatformServices services({.logSink = log});
  for (const auto& [mode, owner, refusal] :  // mode 0: not there yet
       {std::tuple<mode_t, uid_t, std::string>{0, geteuid(), ""},
        {0755, geteuid(), "its mode is 0755"},
        {0700, 65534, "it belongs to uid 65534"}}) {
    if (owner != geteuid() && geteuid() != 0) continue;  // only root can give it away
    rmdir(fallback.c_str());
    ASSERT_TRUE(mode == 0 ||
                (mkdir(fallback.c_str(), mode) == 0 && chmod(fallback.c_str(), mode) == 0 &&
                 chown(fallback.c_str(), owner, -1) == 0));
    EXPECT_EQ(ae_runtime::folder().has_value(), refusal.empty()) << refusal;
    EXPECT_TRUE(refusal.empty()
                    ? stat(fallback.c_str(), &st) == 0 && (st.st_mode & 07777) == 0700
                    : !log->messages().empty() &&
                          log->messages().back().find(fallback + " cannot be used: " + refusal) !=
                              std::string::npos)
        << refusal;
  }
  rmdir(fallback.c_str());
  setenv("TMPDIR", oldTmp.c_str(), 1);
}

#ifdef HUSHMOOR_SHIPPED_SYSTEM_EVENTS
// The installed System Events has no failure hooks: neither the variable nor
// the control event makes it refuse the login-item events. Its size cap lets
// the largest login item through.
TEST_F(AETransport, TheShippedSystemEventsCannotBeMadeToFailAndTakesTheLargestItem) {
  pid_t child = fork();
  if (child == 0) {
    setenv(kSystemEventsFailureVariable, "-1743", 1);
    execl(HUSHMOOR_SHIPPED_SYSTEM_EVENTS, "System Events", static_cast<char*>(nullptr));
    _exit(127);
  }
  ProcessSerialNumber psn{};
  for (int i = 0; i < 500 && SystemEventsFindRunning(&psn) != noErr; ++i) usleep(10000);
  ASSERT_EQ(SystemEventsSetFailure(psn, -1743), noErr);
  CFArrayRef items = nullptr;
  EXPECT_EQ(LIAECopyLoginItems(&items), noErr);
  if (items != nullptr) CFRelease(items);

  // The largest event it takes: a new item whose path has PATH_MAX - 1 bytes,
  // each two in UTF-16, sent as the client sends it.
  const std::string longest = "/" + std::string(PATH_MAX - 2, 'x');
  const DescType itemClass = kLoginItemClass, end = kAEEnd;
  ScopedAEDesc target, path, properties, where, location, create, created;
  AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, &target);
  AECoercePtr(typeUTF8Text, longest.data(), Size(longest.size()), typeUnicodeText, &path);
  AECreateList(nullptr, 0, true, &properties);
  AEPutParamDesc(&properties, pLoginItemPath, &path.get());
  AECreateList(nullptr, 0, true, &where);
  AEPutParamPtr(&where, keyAEObject, typeNull, nullptr, 0);
  AEPutParamPtr(&where, keyAEPosition, typeEnumerated, &end, 4);
  AECoerceDesc(&where.get(), typeInsertionLoc, &location);
  AECreateAppleEvent(kAECoreSuite, kAECreateElement, &target.get(), kAutoGenerateReturnID,
                     kAnyTransactionID, &create);
  AEPutParamPtr(&create, keyAEObjectClass, typeType, &itemClass, 4);
  AEPutParamDesc(&create, keyAEPropData, &properties.get());
  AEPutParamDesc(&create, keyAEInsertHere, &location.get());
  ASSERT_EQ(AESendMessage(&create.get(), &created, kAEWaitReply, 300), noErr);
  ScopedAEDesc error;
  EXPECT_EQ(AEGetParamDesc(&created.get(), keyErrorNumber, typeWildCard, &error),
            errAEDescNotFound);
  EXPECT_TRUE(SystemEventsQuitAndWait(psn, 5000));
  waitpid(child, nullptr, 0);
}
#endif

}  // namespace
