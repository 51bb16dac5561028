// NSError: a failure a platform call reports, with a domain, a code and a
// text for people. Its description is what a log line shows for "%@".
#pragma once

#include <memory>

#include "platform/foundation/NSString.h"

class NSError {
 public:
  NSError(NSString domain, long code, NSString localizedDescription)
      : domain_(std::move(domain)), code_(code), localizedDescription_(std::move(localizedDescription)) {}

  static std::shared_ptr<NSError> errorWithDomain(NSString domain, long code,
                                                  NSString localizedDescription) {
    return std::make_shared<NSError>(std::move(domain), code, std::move(localizedDescription));
  }

  const NSString& domain() const { return domain_; }
  long code() const { return code_; }
  const NSString& localizedDescription() const { return localizedDescription_; }

  // "Error Domain=D Code=N "text"", the form every log of an error shows.
  NSString description() const;

 private:
  NSString domain_;
  long code_;
  NSString localizedDescription_;
};
