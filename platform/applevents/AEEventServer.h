// The receiving side of the event transport: publishes this process under a
// creator signature and hands each incoming event to a handler on a GLib main
// context. The handler fills in the reply (an 'aevt'/'ansr' event that already
// carries the request's return ID); the server sends it when one was asked for.
//
// No client can stall the loop or make it hold much: connections are bounded
// (per peer process and in all, the least recently active one giving way to a
// new one), a connection that makes no progress for a while is dropped,
// frames are read and replies written without blocking (one reply queued per
// connection, no further request read until it has gone out), a frame's
// length is checked against a cap before anything is kept of it, and a
// failing accept backs off instead of spinning.
#pragma once

#include <glib.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/applevents/AEDataModel.h"
#include "platform/applevents/AEFlatten.h"
#include "platform/applevents/Processes.h"

using AEEventHandlerFn = std::function<void(const AppleEvent& event, AppleEvent* reply)>;

// Another process of this user already serves the creator signature.
inline constexpr OSStatus kAECreatorAlreadyServedErr = -48;  // dupFNErr

struct AEEventServerLimits {
  // The largest frame payload read; a longer one drops its client.
  std::size_t maxMessage = kAEFlatMaxMessageSize + 5;
  unsigned maxConnections = 64;
  unsigned maxPerPeer = 8;
  // A connection that reads, writes and sends nothing this long is dropped
  // (an idle one, one with half a frame, one that does not read its reply).
  std::chrono::milliseconds idleLimit{5000};
  // Replies waiting for slow readers, all connections together; beyond it the
  // longest-waiting of them are dropped (one reply always fits).
  std::size_t maxQueuedBytes = 4u << 20;
};

class AEEventServer {
 public:
  // Publishes the socket and attaches to context (null: the default context).
  // Only one process per user serves a creator signature at a time.
  static OSStatus create(OSType creator, AEEventHandlerFn handler, GMainContext* context,
                         std::unique_ptr<AEEventServer>* out, AEEventServerLimits limits = {});
  // Unpublishes the socket first, so no new client finds it, then closes.
  ~AEEventServer();
  AEEventServer(const AEEventServer&) = delete;
  AEEventServer& operator=(const AEEventServer&) = delete;

  const std::string& socketPath() const { return socketPath_; }
  ProcessSerialNumber serialNumber() const;
  // Monotonic time (g_get_monotonic_time) of the last event handled or of start.
  gint64 lastActivity() const { return lastActivity_; }
  // Connections refused because their peer was another user.
  unsigned refusedPeers() const { return refusedPeers_; }

 private:
  struct Connection {
    int fd = -1;
    pid_t peer = 0;
    GSource* source = nullptr;
    GIOCondition watching = G_IO_IN;
    std::vector<UInt8> in;   // the frame being read: its header, then its payload
    std::vector<UInt8> out;  // a reply not yet sent in full
    std::size_t sent = 0;
    gint64 lastProgress = 0;
  };
  AEEventServer() = default;
  static gboolean onAccept(gint fd, GIOCondition condition, gpointer self);
  static gboolean onReady(gint fd, GIOCondition condition, gpointer self);
  static gboolean onSweep(gpointer self);
  static gboolean onResumeAccepting(gpointer self);
  void listenAgain();
  void admit(int fd, pid_t peer);
  void watch(Connection& connection, GIOCondition condition);
  void closeConnection(int fd);
  void evictLongestIdle();
  // False when the connection must close.
  bool readFrame(Connection& connection);
  bool flush(Connection& connection);
  void handle(const std::vector<UInt8>& payload, bool replyWanted, int fd);
  void limitQueuedReplies(int keep);

  OSType creator_ = 0;
  AEEventHandlerFn handler_;
  AEEventServerLimits limits_;
  GMainContext* context_ = nullptr;
  int listenFd_ = -1;
  int lockFd_ = -1;
  GSource* listenSource_ = nullptr;
  GSource* sweepSource_ = nullptr;
  GSource* backoffSource_ = nullptr;
  unsigned backoffMs_ = 0;
  std::string socketPath_;
  std::map<int, Connection> connections_;
  gint64 lastActivity_ = 0;
  unsigned refusedPeers_ = 0;
};
