// Fuzz entry point for System Events' dispatcher: any decodable event gets an
// answer that flattens, whatever its class, parameters and object specifiers.
// The login items live under a file, so nothing is ever written.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/applevents/AEFlatten.h"
#include "platform/foundation/LogSink.h"
#include "platform/foundation/PlatformServices.h"
#include "systemevents/SystemEventsHandler.h"

namespace {
struct Silent : LogSink {
  void writeLogMessage(std::string_view) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool silenced =
      (PlatformServices::exchange({.logSink = std::make_shared<Silent>()}), true);
  static systemevents::LoginItemStore store("/dev/null/autostart");
  (void)silenced;
  AppleEvent event, reply;
  if (AEUnflattenFromBytes(data, size, &event) != noErr) return 0;
  if (AECreateAppleEvent(kCoreEventClass, kAEAnswer, nullptr, 1, 0, &reply) != noErr) std::abort();
  systemevents::SystemEventsHandler handler(store);
  handler.handle(event, &reply);
  std::vector<UInt8> flat;
  if (AEFlattenToBytes(&reply, &flat) != noErr) std::abort();
  AEDisposeDesc(&reply);
  AEDisposeDesc(&event);
  return 0;
}
