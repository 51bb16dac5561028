// A 'core'/'getd' round trip to the out-of-process System Events (0 login
// items), beside a raw Unix-socket ping-pong with another process of the same
// byte counts: the floor of this machine.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "loginitems/LoginItemsAE.h"
#include "platform/applevents/AEFlatten.h"
#include "platform/applevents/AEFrame.h"
#include "platform/applevents/AESend.h"
#include "platform/applevents/ScopedAEDesc.h"
#include "systemevents/SystemEventsControl.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

// The get-data event for every login item's properties, addressed to psn.
void makeGetData(const ProcessSerialNumber& psn, AppleEvent* event) {
  ScopedAEDesc target, spec;
  AEDesc all = nullDescriptor, null = nullDescriptor, items = nullDescriptor, prop = nullDescriptor;
  AECreateDesc(typeAbsoluteOrdinal, &kAEAll, 4, &all);
  CreateObjSpecifier(kLoginItemClass, &null, formAbsolutePosition, &all, true, &items);
  AECreateDesc(typeType, &pProperties, 4, &prop);
  CreateObjSpecifier(cProperty, &items, formPropertyID, &prop, true, &spec);
  AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, &target);
  AECreateAppleEvent(kAECoreSuite, kAEGetData, &target.get(), kAutoGenerateReturnID, 0, event);
  AEPutParamDesc(event, keyDirectObject, &spec.get());
}

std::size_t frameSize(const AEDesc& desc) {
  std::vector<UInt8> flat;
  AEFlattenToBytes(&desc, &flat);
  return flat.size() + ae_frame::kHeaderSize;
}

struct Sizes {
  std::size_t request, reply;
};

Sizes getDataSizes() {
  ScopedAEDesc event, reply, list;
  makeGetData({kPSNHighHalfOfProcesses, 1}, &event);
  AECreateAppleEvent(kCoreEventClass, kAEAnswer, nullptr, 1, 0, &reply);
  AECreateList(nullptr, 0, false, &list);
  AEPutParamDesc(&reply, keyDirectObject, &list.get());
  return {frameSize(event.get()), frameSize(reply.get())};
}

void BM_RawSocketPingPong(benchmark::State& state) {
  Sizes sizes = getDataSizes();
  int fds[2];
  socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    std::vector<char> in(sizes.request), out(sizes.reply, 'r');
    for (;;) {
      std::size_t got = 0;
      while (got < in.size()) {
        ssize_t n = read(fds[1], in.data() + got, in.size() - got);
        if (n <= 0) _exit(0);
        got += static_cast<std::size_t>(n);
      }
      if (write(fds[1], out.data(), out.size()) != ssize_t(out.size())) _exit(1);
    }
  }
  close(fds[1]);
  std::vector<char> request(sizes.request, 'q'), reply(sizes.reply);
  for (auto _ : state) {
    if (write(fds[0], request.data(), request.size()) != ssize_t(request.size())) break;
    std::size_t got = 0;
    while (got < reply.size()) {
      ssize_t n = read(fds[0], reply.data() + got, reply.size() - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
  }
  close(fds[0]);
  waitpid(child, nullptr, 0);
  state.counters["request_bytes"] = double(sizes.request);
  state.counters["reply_bytes"] = double(sizes.reply);
}
BENCHMARK(BM_RawSocketPingPong)->UseRealTime();

void BM_GetDataRoundTrip(benchmark::State& state) {
  TemporaryUserEnvironment environment;
  CFArrayRef items = nullptr;
  if (LIAECopyLoginItems(&items) != noErr) {  // starts System Events
    state.SkipWithError("System Events did not answer");
    return;
  }
  CFRelease(items);
  ProcessSerialNumber psn;
  SystemEventsFindRunning(&psn);
  ScopedAEDesc event;
  makeGetData(psn, &event);
  for (auto _ : state) {
    ScopedAEDesc reply;
    if (AESendMessage(&event.get(), &reply, kAEWaitReply, 300) != noErr) {
      state.SkipWithError("send failed");
      break;
    }
  }
}
BENCHMARK(BM_GetDataRoundTrip)->UseRealTime();

// The whole client call: finding System Events among the processes, building
// the specifiers, the round trip and the conversion to an array.
void BM_CopyLoginItemsEmpty(benchmark::State& state) {
  TemporaryUserEnvironment environment;
  for (auto _ : state) {
    CFArrayRef items = nullptr;
    if (LIAECopyLoginItems(&items) != noErr) {
      state.SkipWithError("LIAECopyLoginItems failed");
      break;
    }
    CFRelease(items);
  }
}
BENCHMARK(BM_CopyLoginItemsEmpty)->UseRealTime();

}  // namespace
