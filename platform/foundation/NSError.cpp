// The one textual form of an error that logs show.
#include "platform/foundation/NSError.h"

NSString NSError::description() const {
  return NSString::stringWithFormat("Error Domain=%@ Code=%d \"%@\"", domain_, code_,
                                    localizedDescription_);
}
