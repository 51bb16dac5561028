// CFBoolean: the two shared boolean objects.
#pragma once

#include "platform/corefoundation/CFObject.h"

class CFBoolean final : public CFObject {
 public:
  bool value() const { return value_; }
  CFTypeID typeID() const override { return kCFBooleanTypeID; }
  static const CFBoolean* constant(bool value);

 private:
  explicit CFBoolean(bool value) : CFObject(Immortal{}), value_(value) {}
  bool value_;
};

using CFBooleanRef = const CFBoolean*;

extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;

Boolean CFBooleanGetValue(CFBooleanRef boolean);
