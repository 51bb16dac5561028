// LIAECopyLoginItems against the real System Events with 10 to 10,000 login
// items; the time per item should stay flat (no quadratic step).
#include <benchmark/benchmark.h>

#include <string>

#include "loginitems/LoginItemsAE.h"
#include "systemevents/LoginItemStore.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

void BM_CopyLoginItems(benchmark::State& state) {
  TemporaryUserEnvironment environment;
  // Written directly (without fsync) to keep the set-up short.
  systemevents::LoginItemStore store(environment.autostartFolder(), false);
  std::string error;
  for (int64_t i = 0; i < state.range(0); ++i) {
    if (!store.writeItem("/Applications/Item " + std::to_string(i) + ".app", i % 2 == 0, i + 1,
                         &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
  }
  for (auto _ : state) {
    CFArrayRef items = nullptr;
    if (LIAECopyLoginItems(&items) != noErr || CFArrayGetCount(items) != state.range(0)) {
      state.SkipWithError("LIAECopyLoginItems failed");
      break;
    }
    CFRelease(items);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CopyLoginItems)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
