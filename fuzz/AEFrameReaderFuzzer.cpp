// Fuzz entry point for the event server's frame reader: the input is what one
// client sends before it stops writing. Whatever the bytes, the server answers
// the frames it can read and then drops the client; it never hangs on it.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/applevents/AEEventServer.h"

namespace {
struct Server {
  Server() {
    if (mkdtemp(folder) == nullptr || setenv("XDG_RUNTIME_DIR", folder, 1) != 0) std::abort();
    auto answer = [](const AppleEvent&, AppleEvent* reply) {
      SInt32 value = 1;
      AEPutParamPtr(reply, keyDirectObject, typeSInt32, &value, sizeof value);
    };
    if (AEEventServer::create(FOUR_CHAR_CODE("fuzz"), answer, context, &server,
                              {.maxMessage = 4096}) != noErr)
      std::abort();
    std::strcpy(address.sun_path, server->socketPath().c_str());
  }
  ~Server() {
    server.reset();
    std::filesystem::remove_all(folder);
  }
  char folder[32] = "/tmp/hm-fuzz-frames-XXXXXX";
  GMainContext* context = g_main_context_new();
  std::unique_ptr<AEEventServer> server;
  sockaddr_un address{AF_UNIX, {}};
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Server s;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (connect(fd, reinterpret_cast<sockaddr*>(&s.address), sizeof s.address) != 0) std::abort();
  // Inputs are far smaller than the socket's buffer: the write never blocks.
  if (size > 0 && send(fd, data, size, MSG_NOSIGNAL) != ssize_t(size)) std::abort();
  shutdown(fd, SHUT_WR);
  char replies[65536];
  for (long turn = 0;; ++turn) {
    g_main_context_iteration(s.context, FALSE);
    ssize_t n = recv(fd, replies, sizeof replies, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN)) break;  // dropped once all is read
    if (turn > 1000000) std::abort();                 // neither answered nor dropped
  }
  close(fd);
  return 0;
}
