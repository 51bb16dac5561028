// A descriptor disposed when it goes out of scope, for our own C++ code (the
// login-items module itself disposes by hand, as its callers expect).
#pragma once

#include "platform/applevents/AEDataModel.h"

class ScopedAEDesc {
 public:
  ScopedAEDesc() = default;
  ~ScopedAEDesc() { AEDisposeDesc(&desc_); }
  ScopedAEDesc(const ScopedAEDesc&) = delete;
  ScopedAEDesc& operator=(const ScopedAEDesc&) = delete;

  AEDesc* operator&() { return &desc_; }  // NOLINT: reads like a plain AEDesc at call sites
  const AEDesc& get() const { return desc_; }
  DescType type() const { return desc_.descriptorType; }

 private:
  AEDesc desc_ = nullDescriptor;
};
