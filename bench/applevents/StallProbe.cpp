// The real client while bench/applevents/stall.py attacks System Events: one
// LIAECopyLoginItems after another (each as a launch makes it: find System
// Events, send, wait up to 5 s), with its latencies.
//   applevents_stall_probe SECONDS      calls for SECONDS, then prints
//                                       "calls N failed F median_ms M max_ms X"
//   applevents_stall_probe --frame FILE writes a get-data frame that wants a reply
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "loginitems/LoginItemsAE.h"
#include "platform/applevents/AEFlatten.h"
#include "platform/applevents/AEFrame.h"
#include "platform/applevents/ScopedAEDesc.h"
#include "systemevents/SystemEventsControl.h"

namespace {

int writeFrame(const char* file) {
  ScopedAEDesc event, target, spec;
  AEDesc all = nullDescriptor, null = nullDescriptor, items = nullDescriptor, prop = nullDescriptor;
  ProcessSerialNumber psn{kPSNHighHalfOfProcesses, 1};
  AECreateDesc(typeAbsoluteOrdinal, &kAEAll, 4, &all);
  CreateObjSpecifier(kLoginItemClass, &null, formAbsolutePosition, &all, true, &items);
  AECreateDesc(typeType, &pProperties, 4, &prop);
  CreateObjSpecifier(cProperty, &items, formPropertyID, &prop, true, &spec);
  AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, &target);
  AECreateAppleEvent(kAECoreSuite, kAEGetData, &target.get(), 1, 0, &event);
  AEPutParamDesc(&event, keyDirectObject, &spec.get());
  std::vector<UInt8> flat;
  AEFlattenToBytes(&event.get(), &flat);
  auto frame = ae_frame::encode(flat, ae_frame::kFlagReplyWanted);
  FILE* out = std::fopen(file, "wb");
  if (out == nullptr || std::fwrite(frame.data(), 1, frame.size(), out) != frame.size()) return 1;
  return std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--frame") == 0) return writeFrame(argv[2]);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SECONDS | --frame FILE\n", argv[0]);
    return 2;
  }
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::duration<double>(std::atof(argv[1]));
  std::vector<double> ms;
  int failed = 0;
  while (Clock::now() < end) {
    const auto start = Clock::now();
    CFArrayRef items = nullptr;
    OSStatus err = LIAECopyLoginItems(&items);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (items != nullptr) CFRelease(items);
    if (err != noErr) ++failed;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::sort(ms.begin(), ms.end());
  std::printf("calls %zu failed %d median_ms %.2f max_ms %.2f\n", ms.size(), failed,
              ms.empty() ? 0.0 : ms[ms.size() / 2], ms.empty() ? 0.0 : ms.back());
  return 0;
}
