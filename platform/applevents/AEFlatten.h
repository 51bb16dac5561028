// Our own binary form of a descriptor, used on the wire between processes.
//
//   message := "HMAE" version:u8 node
//   node    := kind:u8 type:u32 length:u32 payload[length]      (big-endian)
//   kind 0 (data):   payload is the data
//   kind 1 (list):   count:u32 node*
//   kind 2 (record): count:u32 (key:u32 node)*
//   kind 3 (event):  count:u32 (key:u32 node)* attributes, then count:u32 (key:u32 node)*
//   parameters
//
// The decoder trusts nothing: every length is checked against what remains
// before anything is read or allocated; sizes, counts and nesting are capped;
// the kind must match the type; bytes after the message are an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/applevents/AEDataModel.h"

inline constexpr std::size_t kAEFlatMaxMessageSize = 64u << 20;  // 64 MiB
inline constexpr std::size_t kAEFlatMaxItems = 1u << 20;         // per container
inline constexpr int kAEFlatMaxDepth = 32;                       // nested containers

// Appends the flattened form of desc to out. memFullErr when it would exceed
// kAEFlatMaxMessageSize, errAECorruptData when nested deeper than kAEFlatMaxDepth.
OSErr AEFlattenToBytes(const AEDesc* desc, std::vector<UInt8>* out);

// Decodes exactly size bytes into *result. On any failure *result is the null
// descriptor and errAECorruptData (or memFullErr) is returned.
OSErr AEUnflattenFromBytes(const UInt8* data, std::size_t size, AEDesc* result);
