// The module's internal functions, visible to its tests.
#pragma once

#include "loginitems/LoginItemsAE.h"
#include "platform/applevents/AEDataModel.h"

// Disposes the descriptor and sets it back to the null descriptor; disposing
// twice is harmless.
void AEDisposeDescQ(AEDesc* descPtr);

// Sends one event to System Events (starting it when it is not running) with
// the (keyword, const AEDesc*) pairs that follow reply, ended by a keyword 0.
// When reply is given it must hold the null descriptor; on noErr it receives
// the reply, which the caller disposes. An 'errn' in the reply becomes the status.
OSStatus SendEventToSystemEventsWithParameters(AEEventClass theClass, AEEventID theEvent,
                                               AppleEvent* reply, ...);

OSStatus CreateCFArrayFromAEDescList(const AEDescList* descList, CFArrayRef* itemsPtr);
