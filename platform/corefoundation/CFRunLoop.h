// CFRunLoop: the main thread's event loop, over GLib's main context. A run-loop
// source is signalled by its owner (a notification port, ...) and performed on
// the loop's thread; no source polls and none has a timer.
#pragma once

#include <functional>

typedef struct __CFRunLoop* CFRunLoopRef;
typedef struct __CFRunLoopSource* CFRunLoopSourceRef;
// Modes are named; the one the application uses is kCFRunLoopCommonModes.
typedef const char* CFRunLoopMode;
extern const CFRunLoopMode kCFRunLoopCommonModes;
extern const CFRunLoopMode kCFRunLoopDefaultMode;

// The calling thread's run loop (the main context on the main thread).
CFRunLoopRef CFRunLoopGetCurrent();
CFRunLoopRef CFRunLoopGetMain();

// Attaches the source to the loop; a source signalled before it was attached is
// performed once attached. Adding it again is harmless.
void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode);
// Detaches it; a pending signal stays pending. Removing a source that is not
// attached is harmless.
void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode);
bool CFRunLoopContainsSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode);

// Runs the loop until the process ends. An exception a source's perform lets out
// stops the loop and is rethrown here (it must not unwind through GLib); one
// let out while no CFRunLoopRun is active is rethrown by the next one.
void CFRunLoopRun();

// Sources for owners inside the platform (they are not part of the application's
// interface). `perform` runs on the loop's thread once per signal; a signal
// while one is already pending is merged with it. Of several signalled
// sources, those with the lower `order` are performed first.
CFRunLoopSourceRef CFRunLoopSourceCreateWithHandler(std::function<void()> perform, long order = 0);
void CFRunLoopSourceSignal(CFRunLoopSourceRef source);
// Detaches and frees the source.
void CFRunLoopSourceDestroy(CFRunLoopSourceRef source);
