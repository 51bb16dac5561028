// The client side of the event transport: one cached connection per target
// process, a deadline for every step, and replies matched to requests by
// their return ID.
#include "platform/applevents/AESend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "platform/applevents/AEFlatten.h"
#include "platform/applevents/AEFrame.h"
#include "platform/applevents/AERuntimeFolder.h"
#include "platform/applevents/Processes.h"

namespace {

using ae_frame::Clock;
using ae_frame::IOResult;

std::atomic<UInt64> eventsSent{0};

// Connections kept open between events, by target pid.
std::mutex cacheLock;
std::map<pid_t, int> cachedConnections;

int takeCached(pid_t pid) {
  std::lock_guard guard(cacheLock);
  auto found = cachedConnections.find(pid);
  if (found == cachedConnections.end()) return -1;
  int fd = found->second;
  cachedConnections.erase(found);
  // An idle connection with anything to read has been closed by the target
  // (or carries a stale answer); it is not reused.
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 0) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void putCached(pid_t pid, int fd) {
  std::lock_guard guard(cacheLock);
  auto [it, inserted] = cachedConnections.emplace(pid, fd);
  if (!inserted) {
    close(it->second);
    it->second = fd;
  }
}

void pauseBriefly(int attempt) {
  std::this_thread::sleep_for(std::chrono::milliseconds(attempt < 10 ? 1 : 10));
}

// Connects to the target's socket, waiting while it is still starting.
OSStatus connectTo(pid_t pid, Clock::time_point deadline, int* out) {
  for (int attempt = 0;; ++attempt) {
    auto process = ae_runtime::publishedProcess(pid);
    if (!process) {
      if (!ae_runtime::processIsRunning(pid)) return procNotFound;
    } else {
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      if (process->socketPath.size() >= sizeof address.sun_path) return paramErr;
      std::memcpy(address.sun_path, process->socketPath.c_str(), process->socketPath.size() + 1);
      int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
      if (fd < 0) return memFullErr;
      if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        auto uid = ae_frame::peerUid(fd);
        if (!uid || *uid != geteuid()) {
          close(fd);
          return errAEPrivilegeError;
        }
        *out = fd;
        return noErr;
      }
      int error = errno;
      close(fd);
      // A full backlog or a socket not yet listening: try again until the deadline.
      if (error != EAGAIN && error != ECONNREFUSED && error != ENOENT) return connectionInvalid;
      if (!ae_runtime::processIsRunning(pid)) return procNotFound;
    }
    if (Clock::now() >= deadline) return errAETimeout;
    pauseBriefly(attempt);
  }
}

Clock::time_point deadlineFor(long ticks) {
  if (ticks == kNoTimeOut) return ae_frame::kNoDeadline;
  if (ticks == kAEDefaultTimeout) ticks = 3600;
  if (ticks < 0) ticks = 0;
  return Clock::now() + std::chrono::microseconds(static_cast<long long>(ticks) * 1000000 / 60);
}

OSStatus statusOf(IOResult result) {
  switch (result) {
    case IOResult::Done:
      return noErr;
    case IOResult::TimedOut:
      return errAETimeout;
    case IOResult::Closed:
      return connectionInvalid;
    case IOResult::TooLarge:
      return errAECorruptData;
    case IOResult::Failed:
      break;
  }
  return connectionInvalid;
}

AEReturnID returnIDOf(const AppleEvent& event) {
  AEReturnID id = 0;
  if (AEGetAttributePtr(&event, keyReturnIDAttr, typeSInt16, nullptr, &id, sizeof id, nullptr) !=
      noErr)
    return 0;
  return id;
}

// Reads frames until the answer to returnID arrives.
OSStatus awaitReply(int fd, AEReturnID returnID, Clock::time_point deadline, AppleEvent* reply) {
  std::vector<UInt8> payload;
  for (;;) {
    UInt8 flags = 0;
    IOResult result = ae_frame::readFrame(fd, &payload, &flags, deadline);
    if (result != IOResult::Done) return statusOf(result);
    AppleEvent answer;
    OSErr err = AEUnflattenFromBytes(payload.data(), payload.size(), &answer);
    if (err != noErr) return err;
    if (answer.descriptorType == typeAppleEvent && returnIDOf(answer) == returnID) {
      *reply = answer;
      return noErr;
    }
    AEDisposeDesc(&answer);  // an answer to an earlier request that gave up waiting
  }
}

}  // namespace

OSStatus AESendMessage(const AppleEvent* event, AppleEvent* reply, AESendMode sendMode,
                       long timeOutInTicks) {
  if (reply != nullptr) *reply = nullDescriptor;
  if (event == nullptr || event->descriptorType != typeAppleEvent) return errAENotAppleEvent;
  AESendMode replyMode = sendMode & 3;
  if (replyMode == kAEQueueReply || replyMode == 0) return errAEUnknownSendMode;
  bool waitReply = replyMode == kAEWaitReply;
  if (waitReply && reply == nullptr) return paramErr;

  ProcessSerialNumber psn{};
  DescType addressType = 0;
  Size addressSize = 0;
  OSErr err = AEGetAttributePtr(event, keyAddressAttr, typeWildCard, &addressType, &psn, sizeof psn,
                                &addressSize);
  if (err != noErr || addressType != typeProcessSerialNumber || addressSize != sizeof psn)
    return errAEUnknownAddressType;
  if (psn.highLongOfPSN != kPSNHighHalfOfProcesses) return procNotFound;
  auto pid = static_cast<pid_t>(psn.lowLongOfPSN);

  std::vector<UInt8> payload;
  if ((err = AEFlattenToBytes(event, &payload)) != noErr) return err;
  std::vector<UInt8> frame;
  try {
    frame = ae_frame::encode(payload, waitReply ? ae_frame::kFlagReplyWanted : 0);
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  AEReturnID returnID = returnIDOf(*event);
  Clock::time_point deadline = deadlineFor(timeOutInTicks);

  int fd = takeCached(pid);
  bool reused = fd >= 0;
  for (;;) {
    if (fd < 0) {
      OSStatus status = connectTo(pid, deadline, &fd);
      if (status != noErr) return status;
    }
    IOResult written = ae_frame::writeAll(fd, frame.data(), frame.size(), deadline);
    if (written == IOResult::Done) break;
    close(fd);
    fd = -1;
    // A cached connection the target closed while idle: one fresh connection.
    // The target discards a partial frame, so nothing is delivered twice.
    if (!(reused && written == IOResult::Closed)) return statusOf(written);
    reused = false;
  }
  eventsSent.fetch_add(1, std::memory_order_relaxed);

  if (!waitReply) {
    putCached(pid, fd);
    return noErr;
  }
  OSStatus status = awaitReply(fd, returnID, deadline, reply);
  if (status == noErr) {
    putCached(pid, fd);
  } else {
    // A late answer must never be mistaken for the answer to a later event.
    close(fd);
  }
  return status;
}

UInt64 AEGetEventsSentCount() { return eventsSent.load(std::memory_order_relaxed); }
