// Sending an Apple event to another process and waiting for its reply.
#pragma once

#include "platform/applevents/AEDataModel.h"

enum : AESendMode {
  kAENoReply = 0x00000001,
  kAEQueueReply = 0x00000002,
  kAEWaitReply = 0x00000003,
};

inline constexpr long kAEDefaultTimeout = -1;  // 3600 ticks, one minute
inline constexpr long kNoTimeOut = -2;

// Sends the event to the process named by its 'psn ' address attribute. With
// kAEWaitReply, waits up to timeOutInTicks (1/60 s) for the reply and stores it
// in *reply (the caller disposes it); the reply is the null descriptor on any
// failure. A process that is still starting gets the event once it is ready,
// within the time-out. Statuses: errAETimeout when no reply came in time,
// procNotFound when the target is not running (or ended before it was ready),
// connectionInvalid when it went away before answering, errAEPrivilegeError
// when the target's socket belongs to another user, errAEUnknownSendMode for
// kAEQueueReply, errAEUnknownAddressType for an address other than 'psn '.
OSStatus AESendMessage(const AppleEvent* event, AppleEvent* reply, AESendMode sendMode,
                       long timeOutInTicks);

// How many events this process has handed to another process so far. Tests
// use it to count the events of a run.
UInt64 AEGetEventsSentCount();
