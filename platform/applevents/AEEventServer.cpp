// Event server on a GLib main context: non-blocking reads, whole frames only,
// a reply per request that wants one.
#include "platform/applevents/AEEventServer.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "platform/applevents/AEFlatten.h"
#include "platform/applevents/AEFrame.h"
#include "platform/applevents/AERuntimeFolder.h"

namespace {
// Connections accepted per wake-up, so that a flood of connections leaves the
// ones already accepted their turn to be read before any is evicted.
constexpr int kAcceptsPerWakeup = 16;
// A failing accept (out of descriptors or memory) is retried after this
// pause, doubled up to the most while it keeps failing.
constexpr unsigned kFirstBackoffMs = 10;
constexpr unsigned kMostBackoffMs = 1000;
// How much of a frame is asked for in one read.
constexpr std::size_t kReadChunk = 64 * 1024;
}  // namespace

OSStatus AEEventServer::create(OSType creator, AEEventHandlerFn handler, GMainContext* context,
                               std::unique_ptr<AEEventServer>* out, AEEventServerLimits limits) {
  out->reset();
  auto folder = ae_runtime::folder();
  if (!folder) return errAEPrivilegeError;
  std::unique_ptr<AEEventServer> server(new AEEventServer());
  server->creator_ = creator;
  server->handler_ = std::move(handler);
  server->limits_ = limits;
  server->context_ = context;

  char lockName[32];
  std::snprintf(lockName, sizeof lockName, "/%08x.lock", static_cast<unsigned>(creator));
  std::string lockPath = *folder + lockName;
  server->lockFd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (server->lockFd_ < 0) return errAEPrivilegeError;
  if (flock(server->lockFd_, LOCK_EX | LOCK_NB) != 0) return kAECreatorAlreadyServedErr;

  server->socketPath_ = *folder + "/" + ae_runtime::socketName(getpid(), creator);
  // The socket is made under a temporary name and renamed into place once it
  // listens, so a published socket that refuses connections is always stale.
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "-%08x", static_cast<unsigned>(creator));
  std::string temporary = *folder + "/.publishing-" + std::to_string(getpid()) + suffix;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (server->socketPath_.size() >= sizeof address.sun_path ||
      temporary.size() >= sizeof address.sun_path) {
    server->socketPath_.clear();
    return paramErr;
  }
  std::memcpy(address.sun_path, temporary.c_str(), temporary.size() + 1);
  server->listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (server->listenFd_ < 0) {
    server->socketPath_.clear();
    return memFullErr;
  }
  unlink(temporary.c_str());
  bool published =
      bind(server->listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      chmod(temporary.c_str(), 0600) == 0 && listen(server->listenFd_, 64) == 0 &&
      rename(temporary.c_str(), server->socketPath_.c_str()) == 0;
  if (!published) {
    unlink(temporary.c_str());
    server->socketPath_.clear();
    return connectionInvalid;
  }
  server->listenAgain();
  server->lastActivity_ = g_get_monotonic_time();
  *out = std::move(server);
  return noErr;
}

namespace {
void destroySource(GSource*& source) {
  if (source == nullptr) return;
  g_source_destroy(source);
  g_source_unref(source);
  source = nullptr;
}
}  // namespace

AEEventServer::~AEEventServer() {
  if (!socketPath_.empty()) unlink(socketPath_.c_str());
  destroySource(listenSource_);
  destroySource(backoffSource_);
  destroySource(sweepSource_);
  if (listenFd_ >= 0) close(listenFd_);
  while (!connections_.empty()) closeConnection(connections_.begin()->first);
  if (lockFd_ >= 0) close(lockFd_);
}

ProcessSerialNumber AEEventServer::serialNumber() const {
  return {kPSNHighHalfOfProcesses, static_cast<UInt32>(getpid())};
}

void AEEventServer::listenAgain() {
  listenSource_ = g_unix_fd_source_new(listenFd_, G_IO_IN);
  g_source_set_callback(listenSource_, G_SOURCE_FUNC(&onAccept), this, nullptr);
  g_source_attach(listenSource_, context_);
}

gboolean AEEventServer::onResumeAccepting(gpointer self) {
  auto* server = static_cast<AEEventServer*>(self);
  g_source_unref(server->backoffSource_);
  server->backoffSource_ = nullptr;
  server->listenAgain();
  return G_SOURCE_REMOVE;
}

gboolean AEEventServer::onAccept(gint, GIOCondition, gpointer self) {
  auto* server = static_cast<AEEventServer*>(self);
  for (int accepted = 0; accepted < kAcceptsPerWakeup; ++accepted) {
    int fd = accept4(server->listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      // Out of descriptors or memory: the listening socket stays ready, so
      // stop watching it for a while rather than spin on it, and make room.
      if (errno == EMFILE || errno == ENFILE) server->evictLongestIdle();
      server->backoffMs_ = server->backoffMs_ == 0
                               ? kFirstBackoffMs
                               : std::min(server->backoffMs_ * 2, kMostBackoffMs);
      destroySource(server->listenSource_);
      server->backoffSource_ = g_timeout_source_new(server->backoffMs_);
      g_source_set_callback(server->backoffSource_, &onResumeAccepting, server, nullptr);
      g_source_attach(server->backoffSource_, server->context_);
      return G_SOURCE_REMOVE;
    }
    server->backoffMs_ = 0;
    auto peer = ae_frame::peerCredentials(fd);
    if (!peer || peer->uid != geteuid()) {
      ++server->refusedPeers_;
      close(fd);
      continue;
    }
    server->admit(fd, peer->pid);
  }
  return G_SOURCE_CONTINUE;
}

void AEEventServer::admit(int fd, pid_t peer) {
  unsigned fromPeer = 0;
  for (const auto& [_, connection] : connections_) fromPeer += connection.peer == peer;
  if (fromPeer >= limits_.maxPerPeer) {
    close(fd);
    return;
  }
  // Full: the connection that has done nothing for the longest makes room.
  // A client sends its event right after connecting, and is read before
  // kAcceptsPerWakeup more connections come in.
  if (connections_.size() >= limits_.maxConnections) evictLongestIdle();
  Connection& connection = connections_[fd];
  connection.fd = fd;
  connection.peer = peer;
  connection.lastProgress = g_get_monotonic_time();
  watch(connection, G_IO_IN);
  if (sweepSource_ == nullptr) {
    auto period = std::max<long long>(limits_.idleLimit.count() / 4, 1);
    sweepSource_ = g_timeout_source_new(static_cast<guint>(std::min<long long>(period, 1000)));
    g_source_set_callback(sweepSource_, &onSweep, this, nullptr);
    g_source_attach(sweepSource_, context_);
  }
}

void AEEventServer::evictLongestIdle() {
  if (connections_.empty()) return;
  auto oldest = connections_.begin();
  for (auto it = connections_.begin(); it != connections_.end(); ++it)
    if (it->second.lastProgress < oldest->second.lastProgress) oldest = it;
  closeConnection(oldest->first);
}

void AEEventServer::watch(Connection& connection, GIOCondition condition) {
  if (connection.source != nullptr && connection.watching == condition) return;
  destroySource(connection.source);
  connection.watching = condition;
  connection.source = g_unix_fd_source_new(connection.fd, condition);
  g_source_set_callback(connection.source, G_SOURCE_FUNC(&onReady), this, nullptr);
  g_source_attach(connection.source, context_);
}

void AEEventServer::closeConnection(int fd) {
  auto found = connections_.find(fd);
  if (found == connections_.end()) return;
  destroySource(found->second.source);
  close(fd);
  connections_.erase(found);
}

gboolean AEEventServer::onSweep(gpointer self) {
  auto* server = static_cast<AEEventServer*>(self);
  const gint64 limit = server->limits_.idleLimit.count() * 1000;
  const gint64 now = g_get_monotonic_time();
  for (auto it = server->connections_.begin(); it != server->connections_.end();) {
    int fd = it->first;
    ++it;
    if (now - server->connections_[fd].lastProgress < limit) continue;
    // A client that has just reused its idle connection is not dropped with
    // its event unread.
    pollfd waiting{fd, POLLIN, 0};
    if (server->connections_[fd].out.empty() && poll(&waiting, 1, 0) == 1 &&
        (waiting.revents & POLLHUP) == 0)
      continue;
    server->closeConnection(fd);
  }
  if (!server->connections_.empty()) return G_SOURCE_CONTINUE;
  g_source_unref(server->sweepSource_);
  server->sweepSource_ = nullptr;
  return G_SOURCE_REMOVE;
}

gboolean AEEventServer::onReady(gint fd, GIOCondition, gpointer self) {
  auto* server = static_cast<AEEventServer*>(self);
  auto found = server->connections_.find(fd);
  if (found == server->connections_.end()) return G_SOURCE_REMOVE;
  Connection& connection = found->second;
  bool open = connection.out.empty() ? server->readFrame(connection) : server->flush(connection);
  // Closing destroys the source from its own callback, which GLib allows;
  // the return value then no longer matters.
  if (!open) server->closeConnection(fd);
  return G_SOURCE_CONTINUE;
}

bool AEEventServer::readFrame(Connection& connection) {
  auto& in = connection.in;
  for (;;) {
    UInt32 length = 0;
    UInt8 flags = 0;
    std::size_t need = ae_frame::kHeaderSize;
    if (in.size() >= ae_frame::kHeaderSize) {
      if (ae_frame::decodeHeader(in.data(), &length, &flags, limits_.maxMessage) !=
          ae_frame::IOResult::Done)
        return false;  // not our protocol, or too large: drop the client
      need += length;
    }
    if (in.size() >= ae_frame::kHeaderSize && in.size() == need) {
      std::vector<UInt8> payload(in.begin() + ae_frame::kHeaderSize, in.end());
      in = {};
      int fd = connection.fd;
      handle(payload, (flags & ae_frame::kFlagReplyWanted) != 0, fd);
      // One event per connection and wake-up: the others get their turn, and
      // a socket with more to read wakes the loop again.
      return true;
    }
    // Only what this frame still needs is read, so nothing of the next frame
    // is held while this one is handled.
    std::size_t old = in.size();
    std::size_t ask = std::min(need - old, kReadChunk);
    try {
      in.resize(old + ask);
    } catch (const std::bad_alloc&) {
      return false;
    }
    ssize_t n = recv(connection.fd, in.data() + old, ask, MSG_DONTWAIT);
    in.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
    if (n > 0) {
      connection.lastProgress = g_get_monotonic_time();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);  // else closed, or an error
  }
}

bool AEEventServer::flush(Connection& connection) {
  while (connection.sent < connection.out.size()) {
    ssize_t n = send(connection.fd, connection.out.data() + connection.sent,
                     connection.out.size() - connection.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      connection.sent += static_cast<std::size_t>(n);
      connection.lastProgress = g_get_monotonic_time();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Nothing more is read from this client until it has taken its reply.
      watch(connection, G_IO_OUT);
      return true;
    }
    return false;
  }
  connection.out = {};
  connection.sent = 0;
  watch(connection, G_IO_IN);
  return true;
}

void AEEventServer::limitQueuedReplies(int keep) {
  for (;;) {
    std::size_t queued = 0;
    int longest = -1;
    gint64 since = G_MAXINT64;
    for (const auto& [fd, connection] : connections_) {
      if (connection.out.empty()) continue;
      queued += connection.out.size() - connection.sent;
      if (fd != keep && connection.lastProgress < since) {
        since = connection.lastProgress;
        longest = fd;
      }
    }
    if (queued <= limits_.maxQueuedBytes || longest < 0) return;
    closeConnection(longest);
  }
}

void AEEventServer::handle(const std::vector<UInt8>& payload, bool replyWanted, int fd) {
  lastActivity_ = g_get_monotonic_time();
  AppleEvent event;
  if (AEUnflattenFromBytes(payload.data(), payload.size(), &event) != noErr ||
      event.descriptorType != typeAppleEvent) {
    AEDisposeDesc(&event);
    closeConnection(fd);  // cannot even tell whom to answer
    return;
  }
  AEReturnID returnID = 0;
  AEGetAttributePtr(&event, keyReturnIDAttr, typeSInt16, nullptr, &returnID, sizeof returnID,
                    nullptr);
  AppleEvent reply;
  if (AECreateAppleEvent(kCoreEventClass, kAEAnswer, nullptr, returnID, kAnyTransactionID,
                         &reply) != noErr) {
    AEDisposeDesc(&event);
    closeConnection(fd);
    return;
  }
  handler_(event, &reply);
  AEDisposeDesc(&event);
  if (replyWanted) {
    std::vector<UInt8> flat;
    auto found = connections_.find(fd);
    bool queued = false;
    if (found != connections_.end() && AEFlattenToBytes(&reply, &flat) == noErr) {
      try {
        found->second.out = ae_frame::encode(flat, 0);
        found->second.sent = 0;
        queued = true;
      } catch (const std::bad_alloc&) {
      }
    }
    if (!queued || !flush(found->second)) {
      closeConnection(fd);
    } else if (!found->second.out.empty()) {
      limitQueuedReplies(fd);
    }
  }
  AEDisposeDesc(&reply);
  lastActivity_ = g_get_monotonic_time();
}
