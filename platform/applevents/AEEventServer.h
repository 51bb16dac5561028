// The receiving side of the event transport: publishes this process under a
// creator signature and hands each incoming event to a handler on a GLib main
// context. The handler fills in the reply (an 'aevt'/'ansr' event that already
// carries the request's return ID); the server sends it when one was asked for.
#pragma once

#include <glib.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/applevents/AEDataModel.h"
#include "platform/applevents/Processes.h"

using AEEventHandlerFn = std::function<void(const AppleEvent& event, AppleEvent* reply)>;

// Another process of this user already serves the creator signature.
inline constexpr OSStatus kAECreatorAlreadyServedErr = -48;  // dupFNErr

class AEEventServer {
 public:
  // Publishes the socket and attaches to context (null: the default context).
  // Only one process per user serves a creator signature at a time.
  static OSStatus create(OSType creator, AEEventHandlerFn handler, GMainContext* context,
                         std::unique_ptr<AEEventServer>* out);
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
    GSource* source = nullptr;
    std::vector<UInt8> buffer;
  };
  AEEventServer() = default;
  static gboolean onAccept(gint fd, GIOCondition condition, gpointer self);
  static gboolean onReadable(gint fd, GIOCondition condition, gpointer self);
  void closeConnection(int fd);
  // Handles every complete frame in the buffer; false when the connection must close.
  bool drain(Connection& connection);
  void handle(const std::vector<UInt8>& payload, bool replyWanted, int fd);

  OSType creator_ = 0;
  AEEventHandlerFn handler_;
  GMainContext* context_ = nullptr;
  int listenFd_ = -1;
  int lockFd_ = -1;
  GSource* listenSource_ = nullptr;
  std::string socketPath_;
  std::map<int, Connection> connections_;
  gint64 lastActivity_ = 0;
  unsigned refusedPeers_ = 0;
};
