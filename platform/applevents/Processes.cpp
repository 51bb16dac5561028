// Process Manager over the folder of published event sockets.
#include "platform/applevents/Processes.h"

#include "platform/applevents/AEDataModel.h"
#include "platform/applevents/AERuntimeFolder.h"

OSErr GetNextProcess(ProcessSerialNumber* psn) {
  if (psn == nullptr) return paramErr;
  bool fromStart = psn->highLongOfPSN == 0 && psn->lowLongOfPSN == kNoProcess;
  if (!fromStart && psn->highLongOfPSN != kPSNHighHalfOfProcesses) return paramErr;
  for (const auto& process : ae_runtime::publishedProcesses()) {
    if (fromStart || static_cast<UInt32>(process.pid) > psn->lowLongOfPSN) {
      *psn = {kPSNHighHalfOfProcesses, static_cast<UInt32>(process.pid)};
      return noErr;
    }
  }
  return procNotFound;
}

OSErr GetProcessInformation(const ProcessSerialNumber* psn, ProcessInfoRec* info) {
  if (psn == nullptr || info == nullptr) return paramErr;
  if (psn->highLongOfPSN != kPSNHighHalfOfProcesses) return procNotFound;
  auto process = ae_runtime::publishedProcess(static_cast<pid_t>(psn->lowLongOfPSN));
  if (!process) return procNotFound;
  info->processNumber = *psn;
  info->processType = FOUR_CHAR_CODE("APPL");
  info->processSignature = process->creator;
  info->processMode = 0;
  return noErr;
}
