// The run loop over GLib's main context. Each attached source is a GSource
// made ready by g_source_set_ready_time(0) when signalled, so an idle loop
// sleeps in poll() with no timeout: no polling, no timers.
#include "platform/corefoundation/CFRunLoop.h"

#include <glib.h>

#include <exception>
#include <memory>
#include <utility>
#include <vector>

const CFRunLoopMode kCFRunLoopCommonModes = "kCFRunLoopCommonModes";
const CFRunLoopMode kCFRunLoopDefaultMode = "kCFRunLoopDefaultMode";

struct __CFRunLoop {
  GMainContext* context = nullptr;
  std::vector<GMainLoop*> running;  // innermost last
  // An exception a performed source let out; the loop stops and CFRunLoopRun
  // rethrows it, since it must not unwind through GLib's C frames.
  std::exception_ptr escaped;
};

struct __CFRunLoopSource {
  std::function<void()> perform;
  int priority = G_PRIORITY_DEFAULT;
  GSource* attached = nullptr;
  bool signalled = false;
  bool performing = false;
  bool destroyRequested = false;
};

namespace {

struct SourceGlue {
  GSource base;
  __CFRunLoopSource* owner;
  __CFRunLoop* loop;
};

gboolean dispatchSource(GSource* gsource, GSourceFunc, gpointer) {
  auto* glue = reinterpret_cast<SourceGlue*>(gsource);
  __CFRunLoopSource* source = glue->owner;
  __CFRunLoop* loop = glue->loop;
  g_source_set_ready_time(gsource, -1);
  source->signalled = false;
  source->performing = true;
  try {
    source->perform();
  } catch (...) {
    loop->escaped = std::current_exception();
    if (!loop->running.empty()) g_main_loop_quit(loop->running.back());
  }
  source->performing = false;
  // The perform may have destroyed its own source (a port destroyed by the
  // handler it delivers to); it is freed only now that it has returned.
  if (source->destroyRequested) delete source;
  return G_SOURCE_CONTINUE;
}

GSourceFuncs sourceFuncs = {nullptr, nullptr, dispatchSource, nullptr, nullptr, nullptr};

void detach(__CFRunLoopSource* source) {
  if (source->attached == nullptr) return;
  g_source_destroy(source->attached);
  g_source_unref(source->attached);
  source->attached = nullptr;
}

}  // namespace

CFRunLoopRef CFRunLoopGetCurrent() {
  thread_local std::unique_ptr<__CFRunLoop, void (*)(__CFRunLoop*)> current(
      nullptr, [](__CFRunLoop* rl) {
        g_main_context_unref(rl->context);
        delete rl;
      });
  if (!current) {
    current.reset(new __CFRunLoop);
    current->context = g_main_context_ref_thread_default();
  }
  return current.get();
}

CFRunLoopRef CFRunLoopGetMain() { return CFRunLoopGetCurrent(); }

void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode) {
  if (rl == nullptr || source == nullptr || source->attached != nullptr) return;
  GSource* gsource = g_source_new(&sourceFuncs, sizeof(SourceGlue));
  auto* glue = reinterpret_cast<SourceGlue*>(gsource);
  glue->owner = source;
  glue->loop = rl;
  g_source_set_name(gsource, "CFRunLoopSource");
  g_source_set_priority(gsource, source->priority);
  g_source_attach(gsource, rl->context);
  source->attached = gsource;
  if (source->signalled) g_source_set_ready_time(gsource, 0);
}

void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode) {
  if (rl == nullptr || source == nullptr) return;
  detach(source);
}

bool CFRunLoopContainsSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode) {
  return rl != nullptr && source != nullptr && source->attached != nullptr &&
         g_source_get_context(source->attached) == rl->context;
}

void CFRunLoopRun() {
  CFRunLoopRef rl = CFRunLoopGetCurrent();
  GMainLoop* loop = g_main_loop_new(rl->context, FALSE);
  rl->running.push_back(loop);
  g_main_loop_run(loop);
  rl->running.pop_back();
  g_main_loop_unref(loop);
  if (rl->escaped) {
    std::exception_ptr escaped = std::exchange(rl->escaped, nullptr);
    std::rethrow_exception(escaped);
  }
}

CFRunLoopSourceRef CFRunLoopSourceCreateWithHandler(std::function<void()> perform, long order) {
  auto* source = new __CFRunLoopSource;
  source->perform = std::move(perform);
  source->priority = G_PRIORITY_DEFAULT + static_cast<int>(order);
  return source;
}

void CFRunLoopSourceSignal(CFRunLoopSourceRef source) {
  if (source == nullptr) return;
  source->signalled = true;
  if (source->attached != nullptr) g_source_set_ready_time(source->attached, 0);
}

void CFRunLoopSourceDestroy(CFRunLoopSourceRef source) {
  if (source == nullptr) return;
  detach(source);
  if (source->performing)
    source->destroyRequested = true;
  else
    delete source;
}
