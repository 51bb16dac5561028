// Descriptors, lists, records and Apple events: building, reading, disposing.
#include "platform/applevents/AEDataModel.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "platform/applevents/AEDescStorage.h"

OpaqueAEDataStorageType::~OpaqueAEDataStorageType() {
  for (auto& item : items) AEDisposeDesc(&item.desc);
  for (auto& item : attributes) AEDisposeDesc(&item.desc);
}

namespace ae_detail {

const std::vector<UInt8>& bytes(const AEDesc& desc) {
  static const std::vector<UInt8> none;
  return desc.dataHandle == nullptr ? none : desc.dataHandle->bytes;
}

bool makeDesc(DescType type, AEDesc* result) {
  result->descriptorType = type;
  result->dataHandle = new (std::nothrow) OpaqueAEDataStorageType();
  if (result->dataHandle == nullptr) {
    *result = nullDescriptor;
    return false;
  }
  return true;
}

const AEDesc* findKeyed(const std::vector<AEKeyedDesc>& items, AEKeyword key) {
  for (const auto& item : items) {
    if (item.key == key) return &item.desc;
  }
  return nullptr;
}

OSErr appendKeyed(std::vector<AEKeyedDesc>& items, AEKeyword key, const AEDesc& desc) {
  AEDesc copy = nullDescriptor;
  OSErr err = AEDuplicateDesc(&desc, &copy);
  if (err != noErr) return err;
  try {
    items.push_back({key, copy});
  } catch (const std::bad_alloc&) {
    AEDisposeDesc(&copy);
    return memFullErr;
  }
  return noErr;
}

OSErr putKeyed(std::vector<AEKeyedDesc>& items, AEKeyword key, const AEDesc& desc) {
  AEDesc copy = nullDescriptor;
  OSErr err = AEDuplicateDesc(&desc, &copy);
  if (err != noErr) return err;
  for (auto& item : items) {
    if (item.key == key) {
      AEDisposeDesc(&item.desc);
      item.desc = copy;
      return noErr;
    }
  }
  try {
    items.push_back({key, copy});
  } catch (const std::bad_alloc&) {
    AEDisposeDesc(&copy);
    return memFullErr;
  }
  return noErr;
}

}  // namespace ae_detail

using namespace ae_detail;

bool AEIsListType(DescType type) { return type == typeAEList; }

bool AEIsRecordType(DescType type) {
  return type == typeAERecord || type == typeObjectSpecifier || type == typeInsertionLoc ||
         type == typeAppleEvent;
}

OSErr AECreateDesc(DescType typeCode, const void* dataPtr, Size dataSize, AEDesc* result) {
  if (result == nullptr) return paramErr;
  *result = nullDescriptor;
  if (dataSize < 0 || (dataPtr == nullptr && dataSize > 0)) return paramErr;
  // Containers are built with AECreateList and AECreateAppleEvent, never from raw bytes.
  if (AEIsListType(typeCode) || AEIsRecordType(typeCode)) return errAEWrongDataType;
  if (typeCode == typeNull && dataSize == 0) return noErr;
  if (!makeDesc(typeCode, result)) return memFullErr;
  try {
    const auto* begin = static_cast<const UInt8*>(dataPtr);
    if (dataSize > 0) result->dataHandle->bytes.assign(begin, begin + dataSize);
  } catch (const std::exception&) {
    AEDisposeDesc(result);
    return memFullErr;
  }
  return noErr;
}

OSErr AEDuplicateDesc(const AEDesc* theAEDesc, AEDesc* result) {
  if (theAEDesc == nullptr || result == nullptr) return paramErr;
  *result = nullDescriptor;
  const OpaqueAEDataStorageType* source = theAEDesc->dataHandle;
  if (source == nullptr) {
    result->descriptorType = theAEDesc->descriptorType;
    return noErr;
  }
  AEDesc copy;
  if (!makeDesc(theAEDesc->descriptorType, &copy)) return memFullErr;
  try {
    copy.dataHandle->bytes = source->bytes;
  } catch (const std::exception&) {
    AEDisposeDesc(&copy);
    return memFullErr;
  }
  for (const auto& item : source->items) {
    if (OSErr err = appendKeyed(copy.dataHandle->items, item.key, item.desc); err != noErr) {
      AEDisposeDesc(&copy);
      return err;
    }
  }
  for (const auto& item : source->attributes) {
    if (OSErr err = putKeyed(copy.dataHandle->attributes, item.key, item.desc); err != noErr) {
      AEDisposeDesc(&copy);
      return err;
    }
  }
  *result = copy;
  return noErr;
}

OSErr AEDisposeDesc(AEDesc* theAEDesc) {
  if (theAEDesc == nullptr) return paramErr;
  delete theAEDesc->dataHandle;
  *theAEDesc = nullDescriptor;
  return noErr;
}

Size AEGetDescDataSize(const AEDesc* theAEDesc) {
  if (theAEDesc == nullptr) return 0;
  return static_cast<Size>(bytes(*theAEDesc).size());
}

OSErr AEGetDescData(const AEDesc* theAEDesc, void* dataPtr, Size maximumSize) {
  if (theAEDesc == nullptr || maximumSize < 0 || (dataPtr == nullptr && maximumSize > 0))
    return paramErr;
  if (AEIsListType(theAEDesc->descriptorType) || AEIsRecordType(theAEDesc->descriptorType))
    return errAEWrongDataType;
  const auto& data = bytes(*theAEDesc);
  std::size_t count = std::min(data.size(), static_cast<std::size_t>(maximumSize));
  if (count > 0) std::memcpy(dataPtr, data.data(), count);
  return noErr;
}

OSErr AECreateList(const void* factoringPtr, Size factoredSize, Boolean isRecord,
                   AEDescList* resultList) {
  if (resultList == nullptr) return paramErr;
  *resultList = nullDescriptor;
  if (factoringPtr != nullptr && factoredSize > 0) return paramErr;
  return makeDesc(isRecord ? typeAERecord : typeAEList, resultList) ? noErr : memFullErr;
}

namespace {
// The items of a list or record, or null with the status when it is neither.
std::vector<AEKeyedDesc>* containerItems(const AEDesc* desc, OSErr* err) {
  if (desc == nullptr) {
    *err = paramErr;
    return nullptr;
  }
  if (!(AEIsListType(desc->descriptorType) || AEIsRecordType(desc->descriptorType)) ||
      desc->dataHandle == nullptr) {
    *err = errAEWrongDataType;
    return nullptr;
  }
  *err = noErr;
  return &desc->dataHandle->items;
}

// Copies a descriptor's data (after coercion) into a caller's buffer.
OSErr copyOut(const AEDesc& source, DescType desiredType, DescType* actualType, void* dataPtr,
              Size maximumSize, Size* actualSize) {
  if (maximumSize < 0 || (dataPtr == nullptr && maximumSize > 0)) return paramErr;
  AEDesc coerced = nullDescriptor;
  OSErr err = AECoerceDesc(&source, desiredType, &coerced);
  if (err != noErr) return err;
  if (AEIsListType(coerced.descriptorType) || AEIsRecordType(coerced.descriptorType)) {
    AEDisposeDesc(&coerced);
    return errAEWrongDataType;
  }
  const auto& data = bytes(coerced);
  std::size_t count = std::min(data.size(), static_cast<std::size_t>(maximumSize));
  if (count > 0) std::memcpy(dataPtr, data.data(), count);
  if (actualType != nullptr) *actualType = coerced.descriptorType;
  if (actualSize != nullptr) *actualSize = static_cast<Size>(data.size());
  AEDisposeDesc(&coerced);
  return noErr;
}
// The Ptr forms of the put calls: a descriptor made from the bytes is handed
// to the matching Desc form, which copies it, and is disposed on every path.
template <class Put>
OSErr putFromBytes(DescType typeCode, const void* dataPtr, Size dataSize, Put put) {
  AEDesc desc = nullDescriptor;
  OSErr err = AECreateDesc(typeCode, dataPtr, dataSize, &desc);
  if (err == noErr) err = put(&desc);
  AEDisposeDesc(&desc);
  return err;
}
}  // namespace

OSErr AECountItems(const AEDescList* theAEDescList, long* theCount) {
  if (theCount == nullptr) return paramErr;
  OSErr err;
  auto* items = containerItems(theAEDescList, &err);
  if (items == nullptr) return err;
  *theCount = static_cast<long>(items->size());
  return noErr;
}

OSErr AEPutDesc(AEDescList* theAEDescList, long index, const AEDesc* theAEDesc) {
  if (theAEDesc == nullptr) return paramErr;
  OSErr err;
  auto* items = containerItems(theAEDescList, &err);
  if (items == nullptr) return err;
  if (!AEIsListType(theAEDescList->descriptorType)) return errAEWrongDataType;
  if (index < 0 || index > static_cast<long>(items->size())) return errAEIllegalIndex;
  if (index == 0) return appendKeyed(*items, 0, *theAEDesc);
  AEDesc copy = nullDescriptor;
  if ((err = AEDuplicateDesc(theAEDesc, &copy)) != noErr) return err;
  AEDesc& slot = (*items)[static_cast<std::size_t>(index - 1)].desc;
  AEDisposeDesc(&slot);
  slot = copy;
  return noErr;
}

OSErr AEPutPtr(AEDescList* theAEDescList, long index, DescType typeCode, const void* dataPtr,
               Size dataSize) {
  return putFromBytes(typeCode, dataPtr, dataSize,
                      [&](const AEDesc* item) { return AEPutDesc(theAEDescList, index, item); });
}

OSErr AEGetNthDesc(const AEDescList* theAEDescList, long index, DescType desiredType,
                   AEKeyword* theAEKeyword, AEDesc* result) {
  if (result == nullptr) return paramErr;
  *result = nullDescriptor;
  OSErr err;
  auto* items = containerItems(theAEDescList, &err);
  if (items == nullptr) return err;
  if (index < 1 || index > static_cast<long>(items->size())) return errAEIllegalIndex;
  const AEKeyedDesc& item = (*items)[static_cast<std::size_t>(index - 1)];
  if ((err = AECoerceDesc(&item.desc, desiredType, result)) != noErr) return err;
  if (theAEKeyword != nullptr) *theAEKeyword = item.key;
  return noErr;
}

OSErr AEPutParamDesc(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, const AEDesc* theAEDesc) {
  if (theAEDesc == nullptr || theAppleEvent == nullptr) return paramErr;
  if (!AEIsRecordType(theAppleEvent->descriptorType) || theAppleEvent->dataHandle == nullptr)
    return errAEWrongDataType;
  return putKeyed(theAppleEvent->dataHandle->items, theAEKeyword, *theAEDesc);
}

OSErr AEPutParamPtr(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType typeCode,
                    const void* dataPtr, Size dataSize) {
  return putFromBytes(typeCode, dataPtr, dataSize, [&](const AEDesc* param) {
    return AEPutParamDesc(theAppleEvent, theAEKeyword, param);
  });
}

OSErr AEGetParamDesc(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                     AEDesc* result) {
  if (result == nullptr || theAppleEvent == nullptr) return paramErr;
  *result = nullDescriptor;
  if (!AEIsRecordType(theAppleEvent->descriptorType) || theAppleEvent->dataHandle == nullptr)
    return errAEWrongDataType;
  const AEDesc* found = findKeyed(theAppleEvent->dataHandle->items, theAEKeyword);
  if (found == nullptr) return errAEDescNotFound;
  return AECoerceDesc(found, desiredType, result);
}

OSErr AEGetParamPtr(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                    DescType* actualType, void* dataPtr, Size maximumSize, Size* actualSize) {
  if (theAppleEvent == nullptr) return paramErr;
  if (!AEIsRecordType(theAppleEvent->descriptorType) || theAppleEvent->dataHandle == nullptr)
    return errAEWrongDataType;
  const AEDesc* found = findKeyed(theAppleEvent->dataHandle->items, theAEKeyword);
  if (found == nullptr) return errAEDescNotFound;
  return copyOut(*found, desiredType, actualType, dataPtr, maximumSize, actualSize);
}

OSErr AEDeleteParam(AppleEvent* theAppleEvent, AEKeyword theAEKeyword) {
  if (theAppleEvent == nullptr) return paramErr;
  if (!AEIsRecordType(theAppleEvent->descriptorType) || theAppleEvent->dataHandle == nullptr)
    return errAEWrongDataType;
  auto& items = theAppleEvent->dataHandle->items;
  for (auto it = items.begin(); it != items.end(); ++it) {
    if (it->key == theAEKeyword) {
      AEDisposeDesc(&it->desc);
      items.erase(it);
      return noErr;
    }
  }
  return errAEDescNotFound;
}

namespace {
std::atomic<int> nextReturnID{1};

// Return IDs cycle through the positive 16-bit values, so -1 (generate one)
// and 0 never appear on an event.
AEReturnID generateReturnID() {
  int id = nextReturnID.fetch_add(1, std::memory_order_relaxed);
  return static_cast<AEReturnID>(1 + (id - 1) % 32767);
}
}  // namespace

OSErr AECreateAppleEvent(AEEventClass theAEEventClass, AEEventID theAEEventID,
                         const AEAddressDesc* target, AEReturnID returnID,
                         AETransactionID transactionID, AppleEvent* result) {
  if (result == nullptr) return paramErr;
  *result = nullDescriptor;
  AppleEvent event;
  if (!makeDesc(typeAppleEvent, &event)) return memFullErr;
  if (returnID == kAutoGenerateReturnID) returnID = generateReturnID();
  OSErr err = AEPutAttributePtr(&event, keyEventClassAttr, typeType, &theAEEventClass,
                                sizeof theAEEventClass);
  if (err == noErr)
    err = AEPutAttributePtr(&event, keyEventIDAttr, typeType, &theAEEventID, sizeof theAEEventID);
  if (err == noErr)
    err = AEPutAttributePtr(&event, keyReturnIDAttr, typeSInt16, &returnID, sizeof returnID);
  if (err == noErr)
    err = AEPutAttributePtr(&event, keyTransactionIDAttr, typeSInt32, &transactionID,
                            sizeof transactionID);
  if (err == noErr && target != nullptr) err = AEPutAttributeDesc(&event, keyAddressAttr, target);
  if (err != noErr) {
    AEDisposeDesc(&event);
    return err;
  }
  *result = event;
  return noErr;
}

OSErr AEPutAttributeDesc(AppleEvent* theAppleEvent, AEKeyword theAEKeyword,
                         const AEDesc* theAEDesc) {
  if (theAppleEvent == nullptr || theAEDesc == nullptr) return paramErr;
  if (theAppleEvent->descriptorType != typeAppleEvent || theAppleEvent->dataHandle == nullptr)
    return errAENotAppleEvent;
  return putKeyed(theAppleEvent->dataHandle->attributes, theAEKeyword, *theAEDesc);
}

OSErr AEPutAttributePtr(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType typeCode,
                        const void* dataPtr, Size dataSize) {
  return putFromBytes(typeCode, dataPtr, dataSize, [&](const AEDesc* attribute) {
    return AEPutAttributeDesc(theAppleEvent, theAEKeyword, attribute);
  });
}

OSErr AEGetAttributePtr(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword,
                        DescType desiredType, DescType* actualType, void* dataPtr, Size maximumSize,
                        Size* actualSize) {
  if (theAppleEvent == nullptr) return paramErr;
  if (theAppleEvent->descriptorType != typeAppleEvent || theAppleEvent->dataHandle == nullptr)
    return errAENotAppleEvent;
  const AEDesc* found = findKeyed(theAppleEvent->dataHandle->attributes, theAEKeyword);
  if (found == nullptr) return errAEDescNotFound;
  return copyOut(*found, desiredType, actualType, dataPtr, maximumSize, actualSize);
}

OSErr CreateObjSpecifier(DescType desiredClass, AEDesc* theContainer, DescType keyForm,
                         AEDesc* keyData, Boolean disposeInputs, AEDesc* objSpecifier) {
  OSErr err = noErr;
  if (objSpecifier == nullptr || theContainer == nullptr || keyData == nullptr) err = paramErr;
  AEDesc spec = nullDescriptor;
  if (err == noErr && !makeDesc(typeObjectSpecifier, &spec)) err = memFullErr;
  if (err == noErr)
    err = AEPutParamPtr(&spec, keyAEDesiredClass, typeType, &desiredClass, sizeof desiredClass);
  if (err == noErr) err = AEPutParamDesc(&spec, keyAEContainer, theContainer);
  if (err == noErr)
    err = AEPutParamPtr(&spec, keyAEKeyForm, typeEnumerated, &keyForm, sizeof keyForm);
  if (err == noErr) err = AEPutParamDesc(&spec, keyAEKeyData, keyData);
  if (disposeInputs) {
    if (theContainer != nullptr) AEDisposeDesc(theContainer);
    if (keyData != nullptr) AEDisposeDesc(keyData);
  }
  if (err != noErr) {
    AEDisposeDesc(&spec);
    if (objSpecifier != nullptr) *objSpecifier = nullDescriptor;
    return err;
  }
  *objSpecifier = spec;
  return noErr;
}
