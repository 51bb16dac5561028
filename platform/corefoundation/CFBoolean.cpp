// The two boolean constants; they live for the whole process.
#include "platform/corefoundation/CFBoolean.h"

const CFBoolean* CFBoolean::constant(bool value) {
  static const CFBoolean* const trueValue = new CFBoolean(true);
  static const CFBoolean* const falseValue = new CFBoolean(false);
  return value ? trueValue : falseValue;
}

const CFBooleanRef kCFBooleanTrue = CFBoolean::constant(true);
const CFBooleanRef kCFBooleanFalse = CFBoolean::constant(false);

Boolean CFBooleanGetValue(CFBooleanRef boolean) { return boolean->value() ? 1 : 0; }
