// Coercion between descriptor types. Each rule either produces a faithful
// value or fails with errAECoercionFail; nothing is ever truncated or guessed.
#include <glib.h>

#include <cstring>
#include <optional>

#include "platform/applevents/AEDataModel.h"
#include "platform/applevents/AEDescStorage.h"

namespace {

// An integer from 'shor', 'long' or 'bool' data, when the size fits the type.
std::optional<long long> integerValue(DescType type, const UInt8* data, Size size) {
  if (type == typeSInt16 && size == 2) {
    SInt16 v;
    std::memcpy(&v, data, 2);
    return v;
  }
  if (type == typeSInt32 && size == 4) {
    SInt32 v;
    std::memcpy(&v, data, 4);
    return v;
  }
  if (type == typeBoolean && size == 1) return data[0] != 0 ? 1 : 0;
  if (type == typeTrue && size == 0) return 1;
  if (type == typeFalse && size == 0) return 0;
  return std::nullopt;
}

OSErr coerceInteger(long long value, DescType toType, AEDesc* result) {
  if (toType == typeSInt16) {
    if (value < INT16_MIN || value > INT16_MAX) return errAECoercionFail;
    auto v = static_cast<SInt16>(value);
    return AECreateDesc(typeSInt16, &v, sizeof v, result);
  }
  if (toType == typeSInt32) {
    if (value < INT32_MIN || value > INT32_MAX) return errAECoercionFail;
    auto v = static_cast<SInt32>(value);
    return AECreateDesc(typeSInt32, &v, sizeof v, result);
  }
  if (toType == typeBoolean) {
    // Only 0 and 1 are booleans; any other number is not silently "true".
    if (value != 0 && value != 1) return errAECoercionFail;
    Boolean v = value == 1 ? 1 : 0;
    return AECreateDesc(typeBoolean, &v, sizeof v, result);
  }
  return errAECoercionFail;
}

OSErr utf8ToUnicode(const UInt8* data, Size size, AEDesc* result) {
  const char* text = reinterpret_cast<const char*>(data);
  if (size > 0 && std::memchr(text, '\0', static_cast<std::size_t>(size)) != nullptr)
    return errAECoercionFail;
  glong written = 0;
  gunichar2* units = g_utf8_to_utf16(size == 0 ? "" : text, size, nullptr, &written, nullptr);
  if (units == nullptr) return errAECoercionFail;
  OSErr err = AECreateDesc(typeUnicodeText, units, static_cast<Size>(written) * 2, result);
  g_free(units);
  return err;
}

OSErr unicodeToUTF8(const UInt8* data, Size size, AEDesc* result) {
  if (size % 2 != 0) return errAECoercionFail;
  if (size == 0) return AECreateDesc(typeUTF8Text, nullptr, 0, result);
  std::vector<gunichar2> units(static_cast<std::size_t>(size / 2));
  if (size > 0) std::memcpy(units.data(), data, static_cast<std::size_t>(size));
  for (gunichar2 unit : units) {
    if (unit == 0) return errAECoercionFail;
  }
  glong written = 0;
  gchar* text =
      g_utf16_to_utf8(units.data(), static_cast<glong>(units.size()), nullptr, &written, nullptr);
  if (text == nullptr) return errAECoercionFail;
  OSErr err = AECreateDesc(typeUTF8Text, text, static_cast<Size>(written), result);
  g_free(text);
  return err;
}

bool isRecordLike(DescType type) {
  return type == typeAERecord || type == typeInsertionLoc || type == typeObjectSpecifier;
}

}  // namespace

OSErr AECoercePtr(DescType typeCode, const void* dataPtr, Size dataSize, DescType toType,
                  AEDesc* result) {
  if (result == nullptr) return paramErr;
  *result = nullDescriptor;
  if (dataSize < 0 || (dataPtr == nullptr && dataSize > 0)) return paramErr;
  const auto* data = static_cast<const UInt8*>(dataPtr);
  if (typeCode == toType || toType == typeWildCard)
    return AECreateDesc(typeCode, dataPtr, dataSize, result);
  if (typeCode == typeUTF8Text && toType == typeUnicodeText)
    return utf8ToUnicode(data, dataSize, result);
  if (typeCode == typeUnicodeText && toType == typeUTF8Text)
    return unicodeToUTF8(data, dataSize, result);
  if (auto value = integerValue(typeCode, data, dataSize)) {
    // A boolean stays a boolean only through 'bool', 'shor' and 'long'.
    return coerceInteger(*value, toType, result);
  }
  return errAECoercionFail;
}

OSErr AECoerceDesc(const AEDesc* theAEDesc, DescType toType, AEDesc* result) {
  if (theAEDesc == nullptr || result == nullptr) return paramErr;
  *result = nullDescriptor;
  DescType from = theAEDesc->descriptorType;
  if (from == toType || toType == typeWildCard) return AEDuplicateDesc(theAEDesc, result);
  if (AEIsListType(from) || AEIsRecordType(from)) {
    // A record may stand for an insertion location or an object specifier
    // (and back); its fields stay as they are.
    if (!(isRecordLike(from) && isRecordLike(toType))) return errAECoercionFail;
    OSErr err = AEDuplicateDesc(theAEDesc, result);
    if (err == noErr) result->descriptorType = toType;
    return err;
  }
  if (AEIsListType(toType) || AEIsRecordType(toType)) return errAECoercionFail;
  const auto& data = ae_detail::bytes(*theAEDesc);
  return AECoercePtr(from, data.data(), static_cast<Size>(data.size()), toType, result);
}
