// What tests and the simulator use to drive System Events: its signature, the
// environment it reads, and the private control events (fail every event,
// quit) with small helpers to send them.
#pragma once

#include "platform/applevents/AEDataModel.h"
#include "platform/applevents/Processes.h"

inline constexpr OSType kSystemEventsCreator = FOUR_CHAR_CODE("sevs");
inline constexpr AEEventClass kLoginItemClass = FOUR_CHAR_CODE("logi");
inline constexpr AEKeyword pLoginItemPath = FOUR_CHAR_CODE("ppth");
inline constexpr AEKeyword pLoginItemHidden = FOUR_CHAR_CODE("hidn");

// Seconds of idleness after which System Events quits; "0" keeps it running.
inline constexpr const char* kSystemEventsIdleQuitVariable = "HUSHMOOR_SYSTEM_EVENTS_IDLE_QUIT";
inline constexpr int kSystemEventsDefaultIdleQuitSeconds = 300;
// A status that a newly started System Events refuses every event with, as if
// the control event below had been sent to it at once (simulator, tests).
// This variable and the control event are failure hooks of the build tree's
// System Events only (HUSHMOOR_SYSTEM_EVENTS_TEST_HOOKS); the installed one
// answers the control event with errAEEventNotHandled like any unknown event.
inline constexpr const char* kSystemEventsFailureVariable = "HUSHMOOR_SYSTEM_EVENTS_FAILURE";

// Control event: '----' is a 'long' status; while it is nonzero every other
// event is answered with that status as its error number. 0 ends it.
inline constexpr AEEventClass kSystemEventsControlClass = FOUR_CHAR_CODE("hmsv");
inline constexpr AEEventID kSystemEventsFailEvent = FOUR_CHAR_CODE("fail");

// The running System Events, or procNotFound.
OSStatus SystemEventsFindRunning(ProcessSerialNumber* psn);
// Makes the running System Events refuse every event with status (0: stop refusing).
OSStatus SystemEventsSetFailure(const ProcessSerialNumber& psn, OSStatus status);
// Asks it to quit and waits up to timeoutMs for the process to end; false if it did not.
bool SystemEventsQuitAndWait(const ProcessSerialNumber& psn, int timeoutMs);
