// Frames on non-blocking Unix stream sockets.
#include "platform/applevents/AEFrame.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/applevents/AEFlatten.h"

namespace ae_frame {

std::vector<UInt8> encode(const std::vector<UInt8>& payload, UInt8 flags) {
  auto length = static_cast<UInt32>(payload.size());
  std::vector<UInt8> frame(kHeaderSize + payload.size(), 0);
  frame[0] = UInt8(length >> 24);
  frame[1] = UInt8(length >> 16);
  frame[2] = UInt8(length >> 8);
  frame[3] = UInt8(length);
  frame[4] = flags;
  if (!payload.empty()) std::memcpy(frame.data() + kHeaderSize, payload.data(), payload.size());
  return frame;
}

IOResult decodeHeader(const UInt8* header, UInt32* length, UInt8* flags, std::size_t maxLength) {
  *length = (UInt32(header[0]) << 24) | (UInt32(header[1]) << 16) | (UInt32(header[2]) << 8) |
            UInt32(header[3]);
  *flags = header[4];
  if (*length > maxLength) return IOResult::TooLarge;
  if (header[5] != 0 || header[6] != 0 || header[7] != 0) return IOResult::Failed;
  return IOResult::Done;
}

namespace {
// Waits for the socket to become ready; false on time-out.
bool waitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    int timeoutMs = -1;
    if (deadline != kNoDeadline) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      timeoutMs = left > 60000 ? 60000 : static_cast<int>(left);
    }
    pollfd p{fd, events, 0};
    int n = poll(&p, 1, timeoutMs);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return true;  // let the next call report the error
  }
}
}  // namespace

IOResult writeAll(int fd, const UInt8* data, std::size_t size, Clock::time_point deadline) {
  while (size > 0) {
    ssize_t n = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!waitFor(fd, POLLOUT, deadline)) return IOResult::TimedOut;
      continue;
    }
    return (errno == EPIPE || errno == ECONNRESET) ? IOResult::Closed : IOResult::Failed;
  }
  return IOResult::Done;
}

IOResult readAll(int fd, UInt8* data, std::size_t size, Clock::time_point deadline) {
  while (size > 0) {
    ssize_t n = recv(fd, data, size, MSG_DONTWAIT);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n == 0) return IOResult::Closed;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!waitFor(fd, POLLIN, deadline)) return IOResult::TimedOut;
      continue;
    }
    return errno == ECONNRESET ? IOResult::Closed : IOResult::Failed;
  }
  return IOResult::Done;
}

IOResult readFrame(int fd, std::vector<UInt8>* payload, UInt8* flags, Clock::time_point deadline) {
  UInt8 header[kHeaderSize];
  IOResult result = readAll(fd, header, sizeof header, deadline);
  if (result != IOResult::Done) return result;
  UInt32 length;
  if ((result = decodeHeader(header, &length, flags)) != IOResult::Done) return result;
  try {
    payload->resize(length);
  } catch (const std::bad_alloc&) {
    return IOResult::Failed;
  }
  return readAll(fd, payload->data(), length, deadline);
}

std::optional<ucred> peerCredentials(int fd) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return std::nullopt;
  return credentials;
}

}  // namespace ae_frame
