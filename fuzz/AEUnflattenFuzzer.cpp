// Fuzz entry point for the decoder of the flattened descriptor form: any input
// either fails cleanly or decodes into a descriptor that flattens back to
// exactly the same bytes.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/applevents/AEDataModel.h"
#include "platform/applevents/AEFlatten.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AEDesc desc;
  if (AEUnflattenFromBytes(data, size, &desc) != noErr) {
    if (desc.descriptorType != typeNull || desc.dataHandle != nullptr) {
      std::fprintf(stderr, "a failed decode left a descriptor behind\n");
      std::abort();
    }
    return 0;
  }
  std::vector<UInt8> again;
  if (AEFlattenToBytes(&desc, &again) != noErr || again != std::vector<UInt8>(data, data + size)) {
    std::fprintf(stderr, "a decoded descriptor does not flatten back to its input\n");
    std::abort();
  }
  // Reading a decoded descriptor must be as safe as reading a built one.
  long count = 0;
  if (AECountItems(&desc, &count) == noErr) {
    for (long i = 1; i <= count; ++i) {
      AEDesc item;
      if (AEGetNthDesc(&desc, i, typeUTF8Text, nullptr, &item) == noErr) AEDisposeDesc(&item);
    }
  }
  AEDisposeDesc(&desc);
  return 0;
}
