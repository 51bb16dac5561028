// Event server on a GLib main context: non-blocking reads, whole frames only,
// a reply per request that wants one.
#include "platform/applevents/AEEventServer.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/applevents/AEFlatten.h"
#include "platform/applevents/AEFrame.h"
#include "platform/applevents/AERuntimeFolder.h"

namespace {
// A reply that a client does not read within this time is dropped, so a
// stuck client cannot stall everyone else.
constexpr auto kReplyWriteLimit = std::chrono::seconds(5);
}  // namespace

OSStatus AEEventServer::create(OSType creator, AEEventHandlerFn handler, GMainContext* context,
                               std::unique_ptr<AEEventServer>* out) {
  out->reset();
  auto folder = ae_runtime::folder();
  if (!folder) return errAEPrivilegeError;
  std::unique_ptr<AEEventServer> server(new AEEventServer());
  server->creator_ = creator;
  server->handler_ = std::move(handler);
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
  server->listenSource_ = g_unix_fd_source_new(server->listenFd_, G_IO_IN);
  g_source_set_callback(server->listenSource_, G_SOURCE_FUNC(&onAccept), server.get(), nullptr);
  g_source_attach(server->listenSource_, context);
  server->lastActivity_ = g_get_monotonic_time();
  *out = std::move(server);
  return noErr;
}

AEEventServer::~AEEventServer() {
  if (!socketPath_.empty()) unlink(socketPath_.c_str());
  if (listenSource_ != nullptr) {
    g_source_destroy(listenSource_);
    g_source_unref(listenSource_);
  }
  if (listenFd_ >= 0) close(listenFd_);
  while (!connections_.empty()) closeConnection(connections_.begin()->first);
  if (lockFd_ >= 0) close(lockFd_);
}

ProcessSerialNumber AEEventServer::serialNumber() const {
  return {kPSNHighHalfOfProcesses, static_cast<UInt32>(getpid())};
}

gboolean AEEventServer::onAccept(gint, GIOCondition, gpointer self) {
  auto* server = static_cast<AEEventServer*>(self);
  for (;;) {
    int fd = accept4(server->listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) break;
    auto uid = ae_frame::peerUid(fd);
    if (!uid || *uid != geteuid()) {
      ++server->refusedPeers_;
      close(fd);
      continue;
    }
    Connection& connection = server->connections_[fd];
    connection.fd = fd;
    connection.source = g_unix_fd_source_new(fd, G_IO_IN);
    g_source_set_callback(connection.source, G_SOURCE_FUNC(&onReadable), server, nullptr);
    g_source_attach(connection.source, server->context_);
  }
  return G_SOURCE_CONTINUE;
}

void AEEventServer::closeConnection(int fd) {
  auto found = connections_.find(fd);
  if (found == connections_.end()) return;
  g_source_destroy(found->second.source);
  g_source_unref(found->second.source);
  close(fd);
  connections_.erase(found);
}

gboolean AEEventServer::onReadable(gint fd, GIOCondition, gpointer self) {
  auto* server = static_cast<AEEventServer*>(self);
  auto found = server->connections_.find(fd);
  if (found == server->connections_.end()) return G_SOURCE_REMOVE;
  Connection& connection = found->second;
  UInt8 chunk[65536];
  for (;;) {
    ssize_t n = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n > 0) {
      connection.buffer.insert(connection.buffer.end(), chunk, chunk + n);
      if (!server->drain(connection)) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return G_SOURCE_CONTINUE;
    break;  // closed by the client, or an error
  }
  // Destroying the source from its own callback is allowed; the return value
  // then no longer matters.
  server->closeConnection(fd);
  return G_SOURCE_REMOVE;
}

bool AEEventServer::drain(Connection& connection) {
  for (;;) {
    auto& buffer = connection.buffer;
    if (buffer.size() < ae_frame::kHeaderSize) return true;
    UInt32 length;
    UInt8 flags;
    if (ae_frame::decodeHeader(buffer.data(), &length, &flags) != ae_frame::IOResult::Done)
      return false;  // not our protocol, or too large: drop the client
    if (buffer.size() < ae_frame::kHeaderSize + length) return true;
    std::vector<UInt8> payload(buffer.begin() + ae_frame::kHeaderSize,
                               buffer.begin() + ae_frame::kHeaderSize + length);
    buffer.erase(buffer.begin(), buffer.begin() + ae_frame::kHeaderSize + length);
    int fd = connection.fd;
    handle(payload, (flags & ae_frame::kFlagReplyWanted) != 0, fd);
    // The handler may have ended the connection (or the whole server's work).
    if (connections_.find(fd) == connections_.end()) return false;
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
    bool sent = AEFlattenToBytes(&reply, &flat) == noErr &&
                ae_frame::writeAll(
                    fd, ae_frame::encode(flat, 0).data(), flat.size() + ae_frame::kHeaderSize,
                    ae_frame::Clock::now() + kReplyWriteLimit) == ae_frame::IOResult::Done;
    if (!sent) closeConnection(fd);
  }
  AEDisposeDesc(&reply);
  lastActivity_ = g_get_monotonic_time();
}
