// Descriptors and the Apple Event Manager's calls to build, read, coerce and
// dispose them. A descriptor is a plain struct (type + data handle) that its
// owner disposes with AEDisposeDesc exactly once; copying the struct does not
// copy the data.
#pragma once

#include "platform/corefoundation/MacTypes.h"

using DescType = ResType;
using AEKeyword = FourCharCode;
using AEEventClass = FourCharCode;
using AEEventID = FourCharCode;
using AEReturnID = SInt16;
using AETransactionID = SInt32;
using AESendMode = SInt32;

struct OpaqueAEDataStorageType;
using AEDataStorage = OpaqueAEDataStorageType*;

struct AEDesc {
  DescType descriptorType;
  AEDataStorage dataHandle;
};
using AEDescList = AEDesc;
using AERecord = AEDesc;
using AEAddressDesc = AEDesc;
using AppleEvent = AEDesc;

// Descriptor types.
inline constexpr DescType typeNull = FOUR_CHAR_CODE("null");
inline constexpr DescType typeWildCard = FOUR_CHAR_CODE("****");
inline constexpr DescType typeBoolean = FOUR_CHAR_CODE("bool");
inline constexpr DescType typeTrue = FOUR_CHAR_CODE("true");
inline constexpr DescType typeFalse = FOUR_CHAR_CODE("fals");
inline constexpr DescType typeSInt16 = FOUR_CHAR_CODE("shor");
inline constexpr DescType typeSInt32 = FOUR_CHAR_CODE("long");
inline constexpr DescType typeUTF8Text = FOUR_CHAR_CODE("utf8");
inline constexpr DescType typeUnicodeText = FOUR_CHAR_CODE("utxt");
inline constexpr DescType typeType = FOUR_CHAR_CODE("type");
inline constexpr DescType typeEnumerated = FOUR_CHAR_CODE("enum");
inline constexpr DescType typeAbsoluteOrdinal = FOUR_CHAR_CODE("abso");
inline constexpr DescType typeAEList = FOUR_CHAR_CODE("list");
inline constexpr DescType typeAERecord = FOUR_CHAR_CODE("reco");
inline constexpr DescType typeAppleEvent = FOUR_CHAR_CODE("aevt");
inline constexpr DescType typeObjectSpecifier = FOUR_CHAR_CODE("obj ");
inline constexpr DescType typeInsertionLoc = FOUR_CHAR_CODE("insl");
inline constexpr DescType typeProcessSerialNumber = FOUR_CHAR_CODE("psn ");

// Keywords of parameters and attributes.
inline constexpr AEKeyword keyDirectObject = FOUR_CHAR_CODE("----");
inline constexpr AEKeyword keyErrorNumber = FOUR_CHAR_CODE("errn");
inline constexpr AEKeyword keyEventClassAttr = FOUR_CHAR_CODE("evcl");
inline constexpr AEKeyword keyEventIDAttr = FOUR_CHAR_CODE("evid");
inline constexpr AEKeyword keyAddressAttr = FOUR_CHAR_CODE("addr");
inline constexpr AEKeyword keyReturnIDAttr = FOUR_CHAR_CODE("rtid");
inline constexpr AEKeyword keyTransactionIDAttr = FOUR_CHAR_CODE("tran");
inline constexpr AEKeyword keyAEDesiredClass = FOUR_CHAR_CODE("want");
inline constexpr AEKeyword keyAEContainer = FOUR_CHAR_CODE("from");
inline constexpr AEKeyword keyAEKeyForm = FOUR_CHAR_CODE("form");
inline constexpr AEKeyword keyAEKeyData = FOUR_CHAR_CODE("seld");
inline constexpr AEKeyword keyAEObjectClass = FOUR_CHAR_CODE("kocl");
inline constexpr AEKeyword keyAEPropData = FOUR_CHAR_CODE("prdt");
inline constexpr AEKeyword keyAEInsertHere = FOUR_CHAR_CODE("insh");
inline constexpr AEKeyword keyAEObject = FOUR_CHAR_CODE("kobj");
inline constexpr AEKeyword keyAEPosition = FOUR_CHAR_CODE("kpos");

// Event classes and IDs.
inline constexpr AEEventClass kCoreEventClass = FOUR_CHAR_CODE("aevt");
inline constexpr AEEventClass kAECoreSuite = FOUR_CHAR_CODE("core");
inline constexpr AEEventID kAEAnswer = FOUR_CHAR_CODE("ansr");
inline constexpr AEEventID kAEQuitApplication = FOUR_CHAR_CODE("quit");
inline constexpr AEEventID kAEGetData = FOUR_CHAR_CODE("getd");
inline constexpr AEEventID kAECreateElement = FOUR_CHAR_CODE("crel");
inline constexpr AEEventID kAEDelete = FOUR_CHAR_CODE("delo");

// Object specifier vocabulary.
inline constexpr DescType cProperty = FOUR_CHAR_CODE("prop");
inline constexpr DescType formPropertyID = FOUR_CHAR_CODE("prop");
inline constexpr DescType formAbsolutePosition = FOUR_CHAR_CODE("indx");
inline constexpr DescType kAEAll = FOUR_CHAR_CODE("all ");
inline constexpr DescType kAEEnd = FOUR_CHAR_CODE("end ");
inline constexpr DescType pProperties = FOUR_CHAR_CODE("pALL");

inline constexpr AEReturnID kAutoGenerateReturnID = -1;
inline constexpr AETransactionID kAnyTransactionID = 0;

// Status codes of the Apple Event Manager and its neighbours.
enum : OSStatus {
  paramErr = -50,
  memFullErr = -108,
  fnfErr = -43,
  procNotFound = -600,
  connectionInvalid = -609,
  errAECoercionFail = -1700,
  errAEDescNotFound = -1701,
  errAECorruptData = -1702,
  errAEWrongDataType = -1703,
  errAENotAppleEvent = -1707,
  errAEEventNotHandled = -1708,
  errAEUnknownSendMode = -1710,
  errAETimeout = -1712,
  errAEUnknownAddressType = -1716,
  errAEIllegalIndex = -1719,
  errAENoSuchObject = -1728,
  errAEPrivilegeError = -10004,
  coreFoundationUnknownErr = -4960,
};

// The null descriptor: type 'null', no data.
inline constexpr AEDesc nullDescriptor{typeNull, nullptr};

// Every call that fills a result descriptor sets it to the null descriptor
// when it fails, so a failed call never hands out something to dispose.
OSErr AECreateDesc(DescType typeCode, const void* dataPtr, Size dataSize, AEDesc* result);
OSErr AEDuplicateDesc(const AEDesc* theAEDesc, AEDesc* result);
OSErr AEDisposeDesc(AEDesc* theAEDesc);
Size AEGetDescDataSize(const AEDesc* theAEDesc);
OSErr AEGetDescData(const AEDesc* theAEDesc, void* dataPtr, Size maximumSize);

// Lists and records. Factored lists are not offered: a factoring prefix gives paramErr.
OSErr AECreateList(const void* factoringPtr, Size factoredSize, Boolean isRecord,
                   AEDescList* resultList);
OSErr AECountItems(const AEDescList* theAEDescList, long* theCount);
// index counts from 1; index 0 appends.
OSErr AEPutDesc(AEDescList* theAEDescList, long index, const AEDesc* theAEDesc);
OSErr AEPutPtr(AEDescList* theAEDescList, long index, DescType typeCode, const void* dataPtr,
               Size dataSize);
OSErr AEGetNthDesc(const AEDescList* theAEDescList, long index, DescType desiredType,
                   AEKeyword* theAEKeyword, AEDesc* result);

// Parameters of an event or fields of a record (any record-structured descriptor).
OSErr AEPutParamDesc(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, const AEDesc* theAEDesc);
OSErr AEPutParamPtr(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType typeCode,
                    const void* dataPtr, Size dataSize);
OSErr AEGetParamDesc(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                     AEDesc* result);
// Copies at most maximumSize bytes of the (coerced) data; *actualSize gets the
// whole size, which may be larger than what was copied.
OSErr AEGetParamPtr(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                    DescType* actualType, void* dataPtr, Size maximumSize, Size* actualSize);
OSErr AEDeleteParam(AppleEvent* theAppleEvent, AEKeyword theAEKeyword);
#define AEPutKeyDesc AEPutParamDesc
#define AEPutKeyPtr AEPutParamPtr
#define AEGetKeyDesc AEGetParamDesc
#define AEGetKeyPtr AEGetParamPtr

// Apple events and their attributes.
OSErr AECreateAppleEvent(AEEventClass theAEEventClass, AEEventID theAEEventID,
                         const AEAddressDesc* target, AEReturnID returnID,
                         AETransactionID transactionID, AppleEvent* result);
OSErr AEPutAttributeDesc(AppleEvent* theAppleEvent, AEKeyword theAEKeyword,
                         const AEDesc* theAEDesc);
OSErr AEPutAttributePtr(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType typeCode,
                        const void* dataPtr, Size dataSize);
OSErr AEGetAttributePtr(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword,
                        DescType desiredType, DescType* actualType, void* dataPtr, Size maximumSize,
                        Size* actualSize);

// Coercions: same type and '****' copy; 'utf8' <-> 'utxt'; 'shor' <-> 'long'
// within range; 'bool' from 'true', 'fals' and the integers 0 and 1; integers
// from 'bool'; 'reco' <-> 'insl' and 'obj '. Anything else, or data of the wrong
// size or encoding, fails with errAECoercionFail.
OSErr AECoercePtr(DescType typeCode, const void* dataPtr, Size dataSize, DescType toType,
                  AEDesc* result);
OSErr AECoerceDesc(const AEDesc* theAEDesc, DescType toType, AEDesc* result);

// An object specifier: class, container, key form and key data in an 'obj '
// record. With disposeInputs the container and key data are disposed, also on failure.
OSErr CreateObjSpecifier(DescType desiredClass, AEDesc* theContainer, DescType keyForm,
                         AEDesc* keyData, Boolean disposeInputs, AEDesc* objSpecifier);

// True for descriptor types whose data are keyed or listed descriptors.
bool AEIsListType(DescType type);
bool AEIsRecordType(DescType type);
