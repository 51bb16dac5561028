// The Process Manager: running event-capable processes of this user, each
// known by a process serial number and a creator signature.
#pragma once

#include "platform/corefoundation/MacTypes.h"

struct ProcessSerialNumber {
  UInt32 highLongOfPSN;
  UInt32 lowLongOfPSN;
};

// The empty serial number, where an enumeration starts.
inline constexpr UInt32 kNoProcess = 0;
// Serial numbers of running processes carry this high half; the low half is
// the process id.
inline constexpr UInt32 kPSNHighHalfOfProcesses = 1;

struct ProcessInfoRec {
  UInt32 processInfoLength;
  char* processName;  // not filled; left as given
  ProcessSerialNumber processNumber;
  UInt32 processType;
  OSType processSignature;
  UInt32 processMode;
};

// Advances *psn to the next running event-capable process (the first one
// from kNoProcess); procNotFound (-600) past the last. Processes that have
// ended are skipped.
OSErr GetNextProcess(ProcessSerialNumber* psn);
// Fills the record for a running process (the length field is not checked,
// so a zero-filled record is fine); procNotFound when it is not running.
OSErr GetProcessInformation(const ProcessSerialNumber* psn, ProcessInfoRec* info);
