// Flattening and checked unflattening of descriptors.
#include "platform/applevents/AEFlatten.h"

#include <cstring>
#include <new>

#include "platform/applevents/AEDescStorage.h"

namespace {

constexpr UInt8 kMagic[4] = {'H', 'M', 'A', 'E'};
constexpr UInt8 kVersion = 1;
enum Kind : UInt8 { kData = 0, kList = 1, kRecord = 2, kEvent = 3 };
constexpr std::size_t kNodeHeader = 9;  // kind + type + length

Kind kindOf(DescType type) {
  if (type == typeAppleEvent) return kEvent;
  if (AEIsListType(type)) return kList;
  if (AEIsRecordType(type)) return kRecord;
  return kData;
}

void putU32(std::vector<UInt8>& out, UInt32 v) {
  UInt8 b[4] = {UInt8(v >> 24), UInt8(v >> 16), UInt8(v >> 8), UInt8(v)};
  out.insert(out.end(), b, b + 4);
}

void patchU32(std::vector<UInt8>& out, std::size_t at, UInt32 v) {
  out[at] = UInt8(v >> 24);
  out[at + 1] = UInt8(v >> 16);
  out[at + 2] = UInt8(v >> 8);
  out[at + 3] = UInt8(v);
}

class Writer {
 public:
  explicit Writer(std::vector<UInt8>& out) : out_(out), start_(out.size()) {}

  OSErr node(const AEDesc& desc, int depth) {
    if (depth > kAEFlatMaxDepth) return errAECorruptData;
    Kind kind = kindOf(desc.descriptorType);
    out_.push_back(kind);
    putU32(out_, desc.descriptorType);
    std::size_t lengthAt = out_.size();
    putU32(out_, 0);
    std::size_t payloadStart = out_.size();
    const OpaqueAEDataStorageType* storage = desc.dataHandle;
    OSErr err = noErr;
    if (kind == kData) {
      const auto& data = ae_detail::bytes(desc);
      out_.insert(out_.end(), data.begin(), data.end());
    } else if (kind == kList || kind == kRecord) {
      err = items(storage == nullptr ? nullptr : &storage->items, kind == kRecord, depth);
    } else {
      err = items(storage == nullptr ? nullptr : &storage->attributes, true, depth);
      if (err == noErr) err = items(storage == nullptr ? nullptr : &storage->items, true, depth);
    }
    if (err != noErr) return err;
    if (out_.size() - start_ > kAEFlatMaxMessageSize) return memFullErr;
    patchU32(out_, lengthAt, static_cast<UInt32>(out_.size() - payloadStart));
    return noErr;
  }

 private:
  OSErr items(const std::vector<AEKeyedDesc>* list, bool keyed, int depth) {
    std::size_t count = list == nullptr ? 0 : list->size();
    if (count > kAEFlatMaxItems) return memFullErr;
    putU32(out_, static_cast<UInt32>(count));
    for (std::size_t i = 0; i < count; ++i) {
      if (keyed) putU32(out_, (*list)[i].key);
      if (OSErr err = node((*list)[i].desc, depth + 1); err != noErr) return err;
      if (out_.size() - start_ > kAEFlatMaxMessageSize) return memFullErr;
    }
    return noErr;
  }

  std::vector<UInt8>& out_;
  std::size_t start_;
};

class Reader {
 public:
  Reader(const UInt8* data, std::size_t size) : p_(data), end_(data + size) {}

  std::size_t remaining() const { return static_cast<std::size_t>(end_ - p_); }

  bool u8(UInt8* v) {
    if (remaining() < 1) return false;
    *v = *p_++;
    return true;
  }
  bool u32(UInt32* v) {
    if (remaining() < 4) return false;
    *v = (UInt32(p_[0]) << 24) | (UInt32(p_[1]) << 16) | (UInt32(p_[2]) << 8) | UInt32(p_[3]);
    p_ += 4;
    return true;
  }

  // Reads one node into *out (null descriptor on failure).
  OSErr node(AEDesc* out, int depth) {
    *out = nullDescriptor;
    if (depth > kAEFlatMaxDepth) return errAECorruptData;
    UInt8 kind;
    UInt32 type, length;
    if (!u8(&kind) || !u32(&type) || !u32(&length)) return errAECorruptData;
    if (length > remaining()) return errAECorruptData;
    if (kind > kEvent || kindOf(type) != kind) return errAECorruptData;
    const UInt8* payloadEnd = p_ + length;
    if (kind == kData) {
      if (type == typeNull && length == 0) return noErr;
      OSErr err = AECreateDesc(type, p_, static_cast<Size>(length), out);
      if (err != noErr) return err;
      p_ = payloadEnd;
      return noErr;
    }
    if (!ae_detail::makeDesc(type, out)) return memFullErr;
    Reader inner(p_, length);
    OSErr err = inner.items(&out->dataHandle->items, kind, depth);
    if (err == noErr && kind == kEvent) {
      // Attributes come first on the wire; they were read into items above.
      std::swap(out->dataHandle->items, out->dataHandle->attributes);
      err = inner.items(&out->dataHandle->items, kRecord, depth);
    }
    if (err == noErr && inner.remaining() != 0) err = errAECorruptData;
    if (err != noErr) {
      AEDisposeDesc(out);
      return err;
    }
    p_ = payloadEnd;
    return noErr;
  }

 private:
  OSErr items(std::vector<AEKeyedDesc>* into, UInt8 kind, int depth) {
    UInt32 count;
    if (!u32(&count)) return errAECorruptData;
    bool keyed = kind != kList;
    // Each item needs at least a node header (and a key); a count that
    // cannot fit in what remains is rejected before anything is reserved.
    std::size_t minimum = kNodeHeader + (keyed ? 4 : 0);
    if (count > kAEFlatMaxItems || count > remaining() / minimum) return errAECorruptData;
    try {
      into->reserve(count);
    } catch (const std::bad_alloc&) {
      return memFullErr;
    }
    for (UInt32 i = 0; i < count; ++i) {
      UInt32 key = 0;
      if (keyed && !u32(&key)) return errAECorruptData;
      AEDesc child;
      if (OSErr err = node(&child, depth + 1); err != noErr) return err;
      into->push_back({key, child});  // capacity reserved: cannot throw
    }
    return noErr;
  }

  const UInt8* p_;
  const UInt8* end_;
};

}  // namespace

OSErr AEFlattenToBytes(const AEDesc* desc, std::vector<UInt8>* out) {
  if (desc == nullptr || out == nullptr) return paramErr;
  std::size_t start = out->size();
  try {
    out->insert(out->end(), kMagic, kMagic + 4);
    out->push_back(kVersion);
    OSErr err = Writer(*out).node(*desc, 0);
    if (err != noErr) out->resize(start);
    return err;
  } catch (const std::bad_alloc&) {
    out->resize(start);
    return memFullErr;
  }
}

OSErr AEUnflattenFromBytes(const UInt8* data, std::size_t size, AEDesc* result) {
  if (result == nullptr) return paramErr;
  *result = nullDescriptor;
  if (data == nullptr && size > 0) return paramErr;
  if (size > kAEFlatMaxMessageSize + 5) return errAECorruptData;
  if (size < 5 || std::memcmp(data, kMagic, 4) != 0 || data[4] != kVersion) return errAECorruptData;
  Reader reader(data + 5, size - 5);
  AEDesc decoded;
  OSErr err = reader.node(&decoded, 0);
  if (err != noErr) return err;
  if (reader.remaining() != 0) {
    AEDisposeDesc(&decoded);
    return errAECorruptData;
  }
  *result = decoded;
  return noErr;
}
