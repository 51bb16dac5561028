// LoginItemsAE: login items through Apple events to System Events.
#include "loginitems/LoginItemsAE.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "loginitems/LoginItemsAEInternal.h"
#include "platform/applevents/AESend.h"
#include "platform/applevents/LaunchServices.h"
#include "platform/applevents/Processes.h"

// Assertions stay active in every build type: they guard against programming
// errors whose consequences (a leaked or double-freed descriptor, a list handed
// out on failure) are worse than stopping.
#define LIAE_ASSERT(condition)                                             \
  do {                                                                     \
    if (!(condition)) LIAEAssertionFailed(#condition, __func__, __LINE__); \
  } while (0)

[[noreturn]] static void LIAEAssertionFailed(const char* condition, const char* function,
                                             int line) {
  std::fprintf(stderr, "Assertion failed: (%s), function %s, file LoginItemsAE, line %d.\n",
               condition, function, line);
  std::fflush(stderr);
  std::abort();
}

static const OSType kSystemEventsCreator = FOUR_CHAR_CODE("sevs");
static const DescType cLoginItem = FOUR_CHAR_CODE("logi");
static const DescType propPath = FOUR_CHAR_CODE("ppth");
static const DescType propHidden = FOUR_CHAR_CODE("hidn");
static const long kTimeoutTicks = 300;  // 5 seconds

// The four-character values handed to the descriptor constructors as data.
static const OSType kAEEndValue = FOUR_CHAR_CODE("end ");
static const OSType kLoginItemValue = FOUR_CHAR_CODE("logi");
static const OSType kAEAllValue = FOUR_CHAR_CODE("all ");
static const OSType kPropertiesValue = FOUR_CHAR_CODE("pALL");

void AEDisposeDescQ(AEDesc* descPtr) {
  OSStatus junk = AEDisposeDesc(descPtr);
  LIAE_ASSERT(junk == noErr);
  *descPtr = nullDescriptor;
}

// Finds the running System Events, or starts it; *psn is its serial number.
static OSStatus FindOrLaunchSystemEvents(ProcessSerialNumber* psn) {
  OSStatus err;
  ProcessInfoRec info;
  *psn = ProcessSerialNumber{0, kNoProcess};
  for (;;) {
    err = GetNextProcess(psn);
    if (err == noErr) {
      std::memset(&info, 0, sizeof info);
      err = GetProcessInformation(psn, &info);
    }
    if (err != noErr || info.processSignature == kSystemEventsCreator) break;
  }
  if (err == procNotFound) {
    FSRef appRef;
    err = LSFindApplicationForInfo(kSystemEventsCreator, NULL, NULL, &appRef, NULL);
    if (err == noErr) {
      LSApplicationParameters params = {0, kLSLaunchDefaults, &appRef, NULL, NULL, NULL, NULL};
      err = LSOpenApplication(&params, psn);
    }
  }
  return err;
}

OSStatus SendEventToSystemEventsWithParameters(AEEventClass theClass, AEEventID theEvent,
                                               AppleEvent* reply, ...) {
  OSStatus err;
  ProcessSerialNumber psn;
  AEAddressDesc target = nullDescriptor;
  AppleEvent event = nullDescriptor;
  AppleEvent localReply = nullDescriptor;

  LIAE_ASSERT((reply == NULL) || (reply->descriptorType == typeNull));

  err = FindOrLaunchSystemEvents(&psn);
  if (err == noErr) {
    err = AECreateDesc(typeProcessSerialNumber, &psn, sizeof(psn), &target);
  }
  if (err == noErr) {
    err = AECreateAppleEvent(theClass, theEvent, &target, kAutoGenerateReturnID, kAnyTransactionID,
                             &event);
  }
  if (err == noErr) {
    va_list ap;
    va_start(ap, reply);
    for (;;) {
      AEKeyword thisKeyword = va_arg(ap, AEKeyword);
      if (thisKeyword == 0) break;
      const AEDesc* thisDesc = va_arg(ap, const AEDesc*);
      LIAE_ASSERT(thisDesc != NULL);
      err = AEPutParamDesc(&event, thisKeyword, thisDesc);
      if (err != noErr) break;
    }
    va_end(ap);
  }
  if (err == noErr) {
    err = AESendMessage(&event, &localReply, kAEWaitReply, kTimeoutTicks);
  }
  if (err == noErr && localReply.descriptorType != typeNull) {
    SInt16 replyErr = 0;
    OSStatus getErr = AEGetParamPtr(&localReply, keyErrorNumber, typeSInt16, NULL, &replyErr,
                                    sizeof(replyErr), NULL);
    if (getErr == noErr) {
      err = replyErr;
    } else if (getErr != errAEDescNotFound) {
      // An error number that does not fit 16 bits is still a failure; its
      // coercion status (errAECoercionFail) says so rather than noErr.
      err = getErr;
    }
  }
  if (reply != NULL && err == noErr) {
    *reply = localReply;
    localReply = nullDescriptor;
  } else {
    AEDisposeDescQ(&localReply);
  }
  AEDisposeDescQ(&event);
  AEDisposeDescQ(&target);
  LIAE_ASSERT((reply == NULL) || ((err == noErr) == (reply->descriptorType != typeNull)));
  return err;
}

OSStatus CreateCFArrayFromAEDescList(const AEDescList* descList, CFArrayRef* itemsPtr) {
  OSStatus err = noErr;
  CFMutableArrayRef result = NULL;
  long itemCount = 0;
  long itemIndex;
  AEKeyword junkKeyword;
  DescType junkType;
  Size junkSize;

  LIAE_ASSERT(itemsPtr != NULL);
  LIAE_ASSERT(*itemsPtr == NULL);

  result = CFArrayCreateMutable(NULL, 0, &kCFTypeArrayCallBacks);
  if (result == NULL) err = coreFoundationUnknownErr;
  if (err == noErr) err = AECountItems(descList, &itemCount);

  for (itemIndex = 1; err == noErr && itemIndex <= itemCount; itemIndex++) {
    AEDesc thisItem = nullDescriptor;
    UInt8 thisPath[1024];
    Size thisPathSize = 0;
    FSRef thisItemRef;
    CFURLRef thisItemURL = NULL;
    Boolean thisItemHidden = false;
    CFDictionaryRef thisItemDict = NULL;

    err = AEGetNthDesc(descList, itemIndex, typeAERecord, &junkKeyword, &thisItem);
    if (err == noErr) {
      err = AEGetParamPtr(&thisItem, propPath, typeUTF8Text, &junkType, thisPath,
                          sizeof(thisPath) - 1, &thisPathSize);
      if (err == noErr) {
        // The reported size may exceed what was stored; terminate after the stored bytes.
        if (thisPathSize > Size(sizeof(thisPath) - 1)) thisPathSize = sizeof(thisPath) - 1;
        thisPath[thisPathSize] = 0;
      }
    }
    if (err == noErr) {
      if (FSPathMakeRef(thisPath, &thisItemRef, NULL) == noErr) {
        thisItemURL = CFURLCreateFromFSRef(NULL, &thisItemRef);
      } else {
        thisItemURL = CFURLCreateFromFileSystemRepresentation(
            NULL, thisPath, static_cast<CFIndex>(std::strlen(reinterpret_cast<char*>(thisPath))),
            false);
      }
      if (thisItemURL == NULL) err = coreFoundationUnknownErr;
    }
    if (err == noErr) {
      if (AEGetParamPtr(&thisItem, propHidden, typeBoolean, &junkType, &thisItemHidden,
                        sizeof(thisItemHidden), &junkSize) != noErr) {
        thisItemHidden = false;
      }
    }
    if (err == noErr) {
      const void* keys[2] = {kLIAEURL, kLIAEHidden};
      const void* values[2] = {thisItemURL, thisItemHidden ? kCFBooleanTrue : kCFBooleanFalse};
      thisItemDict = CFDictionaryCreate(NULL, keys, values, 2, &kCFTypeDictionaryKeyCallBacks,
                                        &kCFTypeDictionaryValueCallBacks);
      if (thisItemDict == NULL) {
        err = coreFoundationUnknownErr;
      } else {
        CFArrayAppendValue(result, thisItemDict);
      }
    }
    AEDisposeDescQ(&thisItem);
    if (thisItemURL != NULL) CFRelease(thisItemURL);
    if (thisItemDict != NULL) CFRelease(thisItemDict);
  }

  if (err == noErr) {
    *itemsPtr = result;
  } else {
    if (result != NULL) CFRelease(result);
    *itemsPtr = NULL;
  }
  LIAE_ASSERT((err == noErr) == (*itemsPtr != NULL));
  return err;
}

OSStatus LIAECopyLoginItems(CFArrayRef* itemsPtr) {
  OSStatus err;
  AEDesc allDesc = nullDescriptor;
  AEDesc nullContainer = nullDescriptor;
  AEDesc loginItemsSpec = nullDescriptor;
  AEDesc propDesc = nullDescriptor;
  AEDesc propSpec = nullDescriptor;
  AppleEvent reply = nullDescriptor;
  AEDescList results = nullDescriptor;

  LIAE_ASSERT(itemsPtr != NULL);
  LIAE_ASSERT(*itemsPtr == NULL);

  err = AECreateDesc(typeAbsoluteOrdinal, &kAEAllValue, sizeof(kAEAllValue), &allDesc);
  if (err == noErr) {
    err = CreateObjSpecifier(cLoginItem, &nullContainer, formAbsolutePosition, &allDesc, false,
                             &loginItemsSpec);
  }
  if (err == noErr) {
    err = AECreateDesc(typeType, &kPropertiesValue, sizeof(kPropertiesValue), &propDesc);
  }
  if (err == noErr) {
    err =
        CreateObjSpecifier(cProperty, &loginItemsSpec, formPropertyID, &propDesc, false, &propSpec);
  }
  AEDisposeDescQ(&allDesc);
  AEDisposeDescQ(&loginItemsSpec);
  AEDisposeDescQ(&propDesc);

  if (err == noErr) {
    err = SendEventToSystemEventsWithParameters(kAECoreSuite, kAEGetData, &reply, keyDirectObject,
                                                &propSpec, (AEKeyword)0);
  }
  if (err == noErr) {
    err = AEGetParamDesc(&reply, keyDirectObject, typeAEList, &results);
  }
  if (err == noErr) {
    err = CreateCFArrayFromAEDescList(&results, itemsPtr);
  }

  AEDisposeDescQ(&reply);
  AEDisposeDescQ(&results);
  AEDisposeDescQ(&propSpec);
  LIAE_ASSERT((err == noErr) == (*itemsPtr != NULL));
  return err;
}

OSStatus LIAEAddRefAtEnd(const FSRef* item, Boolean hide) {
  OSStatus err;
  AEDesc newItemClass = nullDescriptor;
  AERecord properties = nullDescriptor;
  AEDesc pathDesc = nullDescriptor;
  AERecord insertionRecord = nullDescriptor;
  AEDesc insertionLocation = nullDescriptor;
  UInt8 path[1024];

  LIAE_ASSERT(item != NULL);

  err = AECreateDesc(typeType, &kLoginItemValue, sizeof(kLoginItemValue), &newItemClass);
  if (err == noErr) err = AECreateList(NULL, 0, true, &properties);
  if (err == noErr) err = FSRefMakePath(item, path, sizeof(path));
  if (err == noErr) {
    err = AECoercePtr(typeUTF8Text, path, static_cast<Size>(std::strlen((char*)path)),
                      typeUnicodeText, &pathDesc);
  }
  if (err == noErr) err = AEPutParamDesc(&properties, propPath, &pathDesc);
  if (err == noErr) err = AEPutParamPtr(&properties, propHidden, typeBoolean, &hide, sizeof(hide));
  AEDisposeDescQ(&pathDesc);

  if (err == noErr) err = AECreateList(NULL, 0, true, &insertionRecord);
  if (err == noErr) err = AEPutParamPtr(&insertionRecord, keyAEObject, typeNull, NULL, 0);
  if (err == noErr) {
    err = AEPutParamPtr(&insertionRecord, keyAEPosition, typeEnumerated, &kAEEndValue,
                        sizeof(kAEEndValue));
  }
  if (err == noErr) err = AECoerceDesc(&insertionRecord, typeInsertionLoc, &insertionLocation);
  AEDisposeDescQ(&insertionRecord);

  if (err == noErr) {
    err = SendEventToSystemEventsWithParameters(
        kAECoreSuite, kAECreateElement, NULL, keyAEObjectClass, &newItemClass, keyAEPropData,
        &properties, keyAEInsertHere, &insertionLocation, (AEKeyword)0);
  }

  AEDisposeDescQ(&newItemClass);
  AEDisposeDescQ(&insertionLocation);
  AEDisposeDescQ(&properties);
  return err;
}

OSStatus LIAEAddURLAtEnd(CFURLRef item, Boolean hide) {
  OSStatus err;
  FSRef ref;

  LIAE_ASSERT(item != NULL);

  if (CFURLGetFSRef(item, &ref)) {
    err = LIAEAddRefAtEnd(&ref, hide);
  } else {
    err = fnfErr;
  }
  return err;
}

OSStatus LIAERemove(CFIndex itemIndex) {
  OSStatus err;
  AEDesc indexDesc = nullDescriptor;
  AEDesc nullContainer = nullDescriptor;
  AEDesc loginItemSpec = nullDescriptor;
  SInt32 elementNumber;

  LIAE_ASSERT(itemIndex >= 0);

  // System Events counts its elements from 1, in a signed 32-bit number; an
  // index past that range names no item and must not wrap to one that does.
  if (itemIndex >= INT32_MAX) return errAENoSuchObject;
  elementNumber = static_cast<SInt32>(itemIndex + 1);
  err = AECreateDesc(typeSInt32, &elementNumber, sizeof(elementNumber), &indexDesc);
  if (err == noErr) {
    err = CreateObjSpecifier(cLoginItem, &nullContainer, formAbsolutePosition, &indexDesc, false,
                             &loginItemSpec);
  }
  if (err == noErr) {
    err = SendEventToSystemEventsWithParameters(kAECoreSuite, kAEDelete, NULL, keyDirectObject,
                                                &loginItemSpec, (AEKeyword)0);
  }
  AEDisposeDescQ(&indexDesc);
  AEDisposeDescQ(&loginItemSpec);
  return err;
}
