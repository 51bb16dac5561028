// LoginItemsAE: the user's login items, read and changed through Apple events
// to System Events. Every operation returns an OSStatus; the array handed out
// by LIAECopyLoginItems belongs to the caller, who releases it with CFRelease.
#pragma once

#include "platform/applevents/Files.h"
#include "platform/corefoundation/CFArray.h"
#include "platform/corefoundation/CFBoolean.h"
#include "platform/corefoundation/CFDictionary.h"
#include "platform/corefoundation/CFString.h"
#include "platform/corefoundation/CFURL.h"
#include "platform/corefoundation/MacTypes.h"

// The keys of a LoginItemRecord: "URL" (a CFURL, file URL) and "Hidden" (a CFBoolean).
#define kLIAEURL CFSTR("URL")
#define kLIAEHidden CFSTR("Hidden")

// On noErr *itemsPtr (which must be NULL on entry) holds a new array of
// LoginItemRecord dictionaries in System Events' order; on failure it stays NULL.
OSStatus LIAECopyLoginItems(CFArrayRef* itemsPtr);
// Adds the file at a URL at the end of the list; fnfErr when nothing is there.
OSStatus LIAEAddURLAtEnd(CFURLRef item, Boolean hide);
OSStatus LIAEAddRefAtEnd(const FSRef* item, Boolean hide);
// Removes the item at a 0-based index of the array of LIAECopyLoginItems. An
// index whose element number (index + 1) does not fit a positive 32-bit value
// names no item: errAENoSuchObject, and nothing is sent.
OSStatus LIAERemove(CFIndex itemIndex);
