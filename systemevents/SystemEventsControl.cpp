// Helpers that send System Events its control events.
#include "systemevents/SystemEventsControl.h"

#include <chrono>
#include <thread>

#include "platform/applevents/AERuntimeFolder.h"
#include "platform/applevents/AESend.h"

namespace {
OSStatus sendControl(const ProcessSerialNumber& psn, AEEventClass eventClass, AEEventID eventID,
                     const SInt32* value) {
  AEDesc target = nullDescriptor, event = nullDescriptor, reply = nullDescriptor;
  OSStatus err = AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, &target);
  if (err == noErr)
    err = AECreateAppleEvent(eventClass, eventID, &target, kAutoGenerateReturnID, kAnyTransactionID,
                             &event);
  if (err == noErr && value != nullptr)
    err = AEPutParamPtr(&event, keyDirectObject, typeSInt32, value, sizeof *value);
  if (err == noErr) err = AESendMessage(&event, &reply, kAEWaitReply, 300);
  AEDisposeDesc(&reply);
  AEDisposeDesc(&event);
  AEDisposeDesc(&target);
  return err;
}
}  // namespace

OSStatus SystemEventsFindRunning(ProcessSerialNumber* psn) {
  ProcessSerialNumber current{0, kNoProcess};
  ProcessInfoRec info{};
  OSStatus err;
  while ((err = GetNextProcess(&current)) == noErr) {
    info = {};
    if (GetProcessInformation(&current, &info) == noErr &&
        info.processSignature == kSystemEventsCreator) {
      *psn = current;
      return noErr;
    }
  }
  return err;
}

OSStatus SystemEventsSetFailure(const ProcessSerialNumber& psn, OSStatus status) {
  SInt32 value = status;
  return sendControl(psn, kSystemEventsControlClass, kSystemEventsFailEvent, &value);
}

bool SystemEventsQuitAndWait(const ProcessSerialNumber& psn, int timeoutMs) {
  sendControl(psn, kCoreEventClass, kAEQuitApplication, nullptr);
  auto pid = static_cast<pid_t>(psn.lowLongOfPSN);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (ae_runtime::processIsRunning(pid)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}
