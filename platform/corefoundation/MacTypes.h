// The platform's basic scalar types, status codes and four-character codes,
// shared by CoreFoundation, the event manager and the file-reference calls.
#pragma once

#include <cstdint>

using UInt8 = std::uint8_t;
using SInt8 = std::int8_t;
using UInt16 = std::uint16_t;
using SInt16 = std::int16_t;
using UInt32 = std::uint32_t;
using SInt32 = std::int32_t;
using UInt64 = std::uint64_t;
using SInt64 = std::int64_t;
using Boolean = unsigned char;
using OSStatus = SInt32;
using OSErr = SInt16;
using FourCharCode = UInt32;
using OSType = FourCharCode;
using ResType = FourCharCode;
// A byte count, signed as on the platform.
using Size = long;

inline constexpr OSStatus noErr = 0;

// A four-character code from its text, first character in the most significant
// byte: FOUR_CHAR_CODE("core") == 0x636F7265. Multi-character literals would do
// the same but are implementation-defined, so the code is spelled out.
constexpr FourCharCode FOUR_CHAR_CODE(const char (&text)[5]) {
  return (static_cast<FourCharCode>(static_cast<unsigned char>(text[0])) << 24) |
         (static_cast<FourCharCode>(static_cast<unsigned char>(text[1])) << 16) |
         (static_cast<FourCharCode>(static_cast<unsigned char>(text[2])) << 8) |
         static_cast<FourCharCode>(static_cast<unsigned char>(text[3]));
}
