// Framing of flattened descriptors on a stream socket, with deadlines.
//
//   frame := length:u32 (big-endian, of the payload) flags:u8 0 0 0 payload
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/applevents/AEFlatten.h"
#include "platform/corefoundation/MacTypes.h"

namespace ae_frame {

using Clock = std::chrono::steady_clock;
// No deadline at all.
inline constexpr Clock::time_point kNoDeadline = Clock::time_point::max();

inline constexpr UInt8 kFlagReplyWanted = 1;
inline constexpr std::size_t kHeaderSize = 8;

enum class IOResult { Done, TimedOut, Closed, Failed, TooLarge };

// The frame's header followed by the payload.
std::vector<UInt8> encode(const std::vector<UInt8>& payload, UInt8 flags);
// Reads the header fields; TooLarge beyond maxLength (the flattened form's cap
// unless a receiver has a smaller one).
IOResult decodeHeader(const UInt8* header, UInt32* length, UInt8* flags,
                      std::size_t maxLength = kAEFlatMaxMessageSize + 5);

// Whole writes and reads on a non-blocking socket, waiting until the deadline.
IOResult writeAll(int fd, const UInt8* data, std::size_t size, Clock::time_point deadline);
IOResult readAll(int fd, UInt8* data, std::size_t size, Clock::time_point deadline);
// One frame: its payload and flags.
IOResult readFrame(int fd, std::vector<UInt8>* payload, UInt8* flags, Clock::time_point deadline);

// The effective user id and the process of the peer of a connected Unix socket.
std::optional<ucred> peerCredentials(int fd);
inline std::optional<uid_t> peerUid(int fd) {
  auto peer = peerCredentials(fd);
  return peer ? std::optional<uid_t>(peer->uid) : std::nullopt;
}

}  // namespace ae_frame
