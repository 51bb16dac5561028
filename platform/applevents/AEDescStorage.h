// What a descriptor's data handle points to. Private to the event manager,
// the flattener and the transport.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/applevents/AEDataModel.h"

struct AEKeyedDesc {
  AEKeyword key;  // 0 for the items of a list
  AEDesc desc;    // owned
};

struct OpaqueAEDataStorageType {
  std::vector<UInt8> bytes;             // data of a plain descriptor
  std::vector<AEKeyedDesc> items;       // list items, record fields, event parameters
  std::vector<AEKeyedDesc> attributes;  // event attributes

  OpaqueAEDataStorageType() = default;
  OpaqueAEDataStorageType(const OpaqueAEDataStorageType&) = delete;
  OpaqueAEDataStorageType& operator=(const OpaqueAEDataStorageType&) = delete;
  ~OpaqueAEDataStorageType();
};

namespace ae_detail {
// The storage of a descriptor; null for the null descriptor.
inline const OpaqueAEDataStorageType* storage(const AEDesc& desc) { return desc.dataHandle; }
// Plain data of a descriptor (empty for containers and the null descriptor).
const std::vector<UInt8>& bytes(const AEDesc& desc);
// Makes a descriptor that owns new, empty storage; false when memory ran out.
bool makeDesc(DescType type, AEDesc* result);
// Finds a keyed item; null when missing.
const AEDesc* findKeyed(const std::vector<AEKeyedDesc>& items, AEKeyword key);
// Appends a deep copy of desc under the key (lists use key 0).
OSErr appendKeyed(std::vector<AEKeyedDesc>& items, AEKeyword key, const AEDesc& desc);
// Adds or replaces a keyed item with a deep copy of desc.
OSErr putKeyed(std::vector<AEKeyedDesc>& items, AEKeyword key, const AEDesc& desc);
}  // namespace ae_detail
