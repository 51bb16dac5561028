// Dispatch of System Events' events and the object specifiers they carry.
#include "systemevents/SystemEventsHandler.h"

#include <cstdio>
#include <string>

#include "platform/applevents/ScopedAEDesc.h"
#include "systemevents/Diagnostics.h"
#include "systemevents/SystemEventsControl.h"

namespace systemevents {

namespace {

// The 4-byte code held by a 'type', 'enum' or 'abso' descriptor.
bool codeOf(const AEDesc& desc, DescType expectedType, FourCharCode* code) {
  if (desc.descriptorType != expectedType || AEGetDescDataSize(&desc) != 4) return false;
  return AEGetDescData(&desc, code, 4) == noErr;
}

bool fieldCode(const AEDesc& record, AEKeyword key, DescType expectedType, FourCharCode* code) {
  ScopedAEDesc field;
  if (AEGetParamDesc(&record, key, typeWildCard, &field) != noErr) return false;
  return codeOf(field.get(), expectedType, code);
}

bool containerIsNull(const AEDesc& spec) {
  ScopedAEDesc container;
  return AEGetParamDesc(&spec, keyAEContainer, typeWildCard, &container) == noErr &&
         container.type() == typeNull;
}

// "every login item": 'obj ' {want 'logi', from null, form 'indx', seld 'abso' 'all '}.
bool isEveryLoginItem(const AEDesc& spec) {
  FourCharCode want = 0, form = 0, ordinal = 0;
  return spec.descriptorType == typeObjectSpecifier &&
         fieldCode(spec, keyAEDesiredClass, typeType, &want) && want == kLoginItemClass &&
         fieldCode(spec, keyAEKeyForm, typeEnumerated, &form) && form == formAbsolutePosition &&
         fieldCode(spec, keyAEKeyData, typeAbsoluteOrdinal, &ordinal) && ordinal == kAEAll &&
         containerIsNull(spec);
}

OSStatus putItemRecord(AEDescList* list, const LoginItem& item) {
  ScopedAEDesc record;
  OSStatus err = AECreateList(nullptr, 0, true, &record);
  if (err == noErr) {
    err = AEPutParamPtr(&record, pLoginItemPath, typeUTF8Text, item.path.data(),
                        static_cast<Size>(item.path.size()));
  }
  if (err == noErr && item.hidden) {
    Boolean hidden = *item.hidden ? 1 : 0;
    err = AEPutParamPtr(&record, pLoginItemHidden, typeBoolean, &hidden, 1);
  }
  if (err == noErr) err = AEPutDesc(list, 0, &record.get());
  return err;
}

OSStatus indexSpecifier(long index, AEDesc* result) {
  AEDesc container = nullDescriptor, key = nullDescriptor;
  auto value = static_cast<SInt32>(index);
  OSStatus err = AECreateDesc(typeSInt32, &value, sizeof value, &key);
  if (err != noErr) return err;
  return CreateObjSpecifier(kLoginItemClass, &container, formAbsolutePosition, &key, true, result);
}

}  // namespace

void SystemEventsHandler::handle(const AppleEvent& event, AppleEvent* reply) {
  AEEventClass eventClass = 0;
  AEEventID eventID = 0;
  AEGetAttributePtr(&event, keyEventClassAttr, typeType, nullptr, &eventClass, 4, nullptr);
  AEGetAttributePtr(&event, keyEventIDAttr, typeType, nullptr, &eventID, 4, nullptr);

  OSStatus status = errAEEventNotHandled;
  if (eventClass == kCoreEventClass && eventID == kAEQuitApplication) {
    quitRequested_ = true;
    status = noErr;
  } else if (eventClass == kAECoreSuite && eventID == kAEGetData) {
    status = getData(event, reply);
  } else if (eventClass == kAECoreSuite && eventID == kAECreateElement) {
    status = createElement(event, reply);
  } else if (eventClass == kAECoreSuite && eventID == kAEDelete) {
    status = deleteElement(event);
  }
  if (status != noErr) putErrorNumber(reply, status);
}

void putErrorNumber(AppleEvent* reply, OSStatus status) {
  // A failed event answers with its error number only.
  AEDeleteParam(reply, keyDirectObject);
  SInt32 number = status;
  AEPutParamPtr(reply, keyErrorNumber, typeSInt32, &number, sizeof number);
}

OSStatus SystemEventsHandler::getData(const AppleEvent& event, AppleEvent* reply) {
  ScopedAEDesc spec;
  OSStatus err = AEGetParamDesc(&event, keyDirectObject, typeObjectSpecifier, &spec);
  if (err != noErr) return err;
  // 'prop' {want 'prop', form 'prop', seld 'type' 'pALL', from <every login item>}.
  FourCharCode want = 0, form = 0, property = 0;
  ScopedAEDesc container;
  if (!fieldCode(spec.get(), keyAEDesiredClass, typeType, &want) || want != cProperty ||
      !fieldCode(spec.get(), keyAEKeyForm, typeEnumerated, &form) || form != formPropertyID ||
      !fieldCode(spec.get(), keyAEKeyData, typeType, &property) || property != pProperties ||
      AEGetParamDesc(&spec.get(), keyAEContainer, typeWildCard, &container) != noErr ||
      !isEveryLoginItem(container.get()))
    return errAEEventNotHandled;

  ScopedAEDesc list;
  if ((err = AECreateList(nullptr, 0, false, &list)) != noErr) return err;
  for (const LoginItem& item : store_.list()) {
    if ((err = putItemRecord(&list, item)) != noErr) return err;
  }
  return AEPutParamDesc(reply, keyDirectObject, &list.get());
}

OSStatus SystemEventsHandler::createElement(const AppleEvent& event, AppleEvent* reply) {
  FourCharCode newClass = 0;
  if (!fieldCode(event, keyAEObjectClass, typeType, &newClass)) return errAEDescNotFound;
  if (newClass != kLoginItemClass) return errAEEventNotHandled;

  ScopedAEDesc properties;
  OSStatus err = AEGetParamDesc(&event, keyAEPropData, typeAERecord, &properties);
  if (err != noErr) return err;
  Size size = 0;
  char probe;
  if ((err = AEGetParamPtr(&properties.get(), pLoginItemPath, typeUTF8Text, nullptr, &probe, 0,
                           &size)) != noErr)
    return err;
  std::string path(static_cast<std::size_t>(size), '\0');
  if ((err = AEGetParamPtr(&properties.get(), pLoginItemPath, typeUTF8Text, nullptr, path.data(),
                           size, &size)) != noErr)
    return err;
  // A login item names a place in the file system: an absolute path.
  if (path.empty() || path.front() != '/') return paramErr;
  Boolean hidden = 0;
  err =
      AEGetParamPtr(&properties.get(), pLoginItemHidden, typeBoolean, nullptr, &hidden, 1, nullptr);
  if (err != noErr && err != errAEDescNotFound) return err;

  // Only "at the end" is offered, which is also where an item goes without one.
  ScopedAEDesc location;
  err = AEGetParamDesc(&event, keyAEInsertHere, typeInsertionLoc, &location);
  if (err == noErr) {
    FourCharCode position = 0;
    ScopedAEDesc object;
    if (!fieldCode(location.get(), keyAEPosition, typeEnumerated, &position) ||
        position != kAEEnd ||
        AEGetParamDesc(&location.get(), keyAEObject, typeWildCard, &object) != noErr ||
        object.type() != typeNull)
      return errAEEventNotHandled;
  } else if (err != errAEDescNotFound) {
    return err;
  }

  std::string error;
  if (!store_.append(path, hidden != 0, &error)) {
    reportProblem("cannot add login item: %s", error.c_str());
    return -36;  // ioErr
  }
  ScopedAEDesc created;
  if (indexSpecifier(static_cast<long>(store_.list().size()), &created) == noErr)
    AEPutParamDesc(reply, keyDirectObject, &created.get());
  return noErr;
}

OSStatus SystemEventsHandler::deleteElement(const AppleEvent& event) {
  ScopedAEDesc spec;
  OSStatus err = AEGetParamDesc(&event, keyDirectObject, typeObjectSpecifier, &spec);
  if (err != noErr) return err;
  FourCharCode want = 0, form = 0;
  if (!fieldCode(spec.get(), keyAEDesiredClass, typeType, &want) || want != kLoginItemClass ||
      !fieldCode(spec.get(), keyAEKeyForm, typeEnumerated, &form) || form != formAbsolutePosition ||
      !containerIsNull(spec.get()))
    return errAEEventNotHandled;
  SInt32 index = 0;
  if ((err = AEGetParamPtr(&spec.get(), keyAEKeyData, typeSInt32, nullptr, &index, sizeof index,
                           nullptr)) != noErr)
    return err;
  // Element numbers count from 1; nothing asks for one counted from the end.
  if (index < 1 || static_cast<std::size_t>(index) > store_.list().size()) return errAENoSuchObject;
  std::string error;
  if (!store_.removeAt(static_cast<std::size_t>(index - 1), &error)) {
    reportProblem("cannot remove login item: %s", error.c_str());
    return errAENoSuchObject;
  }
  return noErr;
}

}  // namespace systemevents
