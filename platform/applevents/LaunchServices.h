// Launch Services: finding an application bundle by creator signature and
// starting it. An application bundle is "<Name>.app/Contents/MacOS/<Name>"
// with its type and creator in "<Name>.app/Contents/PkgInfo" ("APPLsevs").
#pragma once

#include <string>
#include <vector>

#include "platform/applevents/AEDataModel.h"
#include "platform/applevents/Files.h"
#include "platform/applevents/Processes.h"
#include "platform/corefoundation/CFArray.h"
#include "platform/corefoundation/CFDictionary.h"
#include "platform/corefoundation/CFString.h"
#include "platform/corefoundation/CFURL.h"

using LSLaunchFlags = UInt32;
inline constexpr LSLaunchFlags kLSLaunchDefaults = 0x00000001;

enum : OSStatus {
  kLSUnknownErr = -10810,
  kLSApplicationNotFoundErr = -10814,
  kLSNoExecutableErr = -10827,
};

struct LSApplicationParameters {
  CFIndex version;
  LSLaunchFlags flags;
  const FSRef* application;
  void* asyncLaunchRefCon;
  CFDictionaryRef environment;
  CFArrayRef argv;
  AppleEvent* initialEvent;
};

// Finds an application by creator (bundle ID and name are not supported and
// must be NULL). Looks in the folder that holds the running application's
// bundle, then in the installation's application folder. *outAppURL, when
// asked for, is a new URL the caller releases.
OSStatus LSFindApplicationForInfo(OSType inCreator, CFStringRef inBundleID, CFStringRef inName,
                                  FSRef* outAppRef, CFURLRef* outAppURL);

// Starts the application detached (its own session, standard input and
// output on /dev/null, the caller's environment) and returns its serial
// number at once, before it is ready for events. When a process with the
// bundle's creator is already running, that one's serial number comes back and
// nothing is started. Environment, arguments and an initial event are not
// offered (paramErr).
OSStatus LSOpenApplication(const LSApplicationParameters* appParams, ProcessSerialNumber* outPSN);

// The folders searched, in order.
std::vector<std::string> LSApplicationSearchFolders();
// Tests replace the search folders; an empty list restores the usual ones.
void LSSetApplicationSearchFoldersForTesting(std::vector<std::string> folders);
