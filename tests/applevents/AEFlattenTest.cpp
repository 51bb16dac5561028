// The flattened form: round trips, and every kind of malformed input.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/applevents/AEDataModel.h"
#include "platform/applevents/AEFlatten.h"
#include "platform/applevents/ScopedAEDesc.h"

namespace {

std::vector<UInt8> flatten(const AEDesc& desc) {
  std::vector<UInt8> out;
  EXPECT_EQ(AEFlattenToBytes(&desc, &out), noErr);
  return out;
}

void setU32(std::vector<UInt8>& bytes, std::size_t at, UInt32 v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = UInt8(v >> (24 - 8 * i));
}

void expectRejected(const std::vector<UInt8>& bytes, const std::string& why) {
  AEDesc result{typeSInt32, nullptr};
  EXPECT_NE(AEUnflattenFromBytes(bytes.data(), bytes.size(), &result), noErr) << why;
  EXPECT_EQ(result.descriptorType, typeNull) << why;
  EXPECT_EQ(result.dataHandle, nullptr) << why;
}

TEST(AEFlatten, ANestedEventRoundTripsAndEveryCutIsRejected) {
  UInt32 psn[2] = {1, 99};
  ScopedAEDesc target, event, list, record, back;
  AECreateDesc(typeProcessSerialNumber, psn, 8, &target);
  AECreateAppleEvent(kAECoreSuite, kAEGetData, &target.get(), 7, 0, &event);
  AECreateList(nullptr, 0, false, &list);
  AECreateList(nullptr, 0, true, &record);
  AEPutParamPtr(&record, FOUR_CHAR_CODE("ppth"), typeUTF8Text, "/a b\n", 5);
  AEPutDesc(&list, 0, &record.get());
  AEPutDesc(&list, 0, &record.get());
  AEPutParamDesc(&event, keyDirectObject, &list.get());

  const std::vector<UInt8> bytes = flatten(event.get());
  ASSERT_EQ(AEUnflattenFromBytes(bytes.data(), bytes.size(), &back), noErr);
  EXPECT_EQ(back.type(), typeAppleEvent);
  EXPECT_EQ(flatten(back.get()), bytes) << "nothing lost or reordered";
  AEReturnID id = 0;
  AEGetAttributePtr(&back.get(), keyReturnIDAttr, typeSInt16, nullptr, &id, 2, nullptr);
  EXPECT_EQ(id, 7);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut)
    expectRejected({bytes.begin(), bytes.begin() + cut}, "cut at " + std::to_string(cut));
}

// Offsets in a message: magic(4) version(1), then the top node's kind(1) type(4) length(4).
constexpr std::size_t kTopKind = 5, kTopType = 6, kTopLength = 10, kTopPayload = 14;

// Lists nested depth levels deep (the outermost is level 0) around a null.
std::vector<UInt8> nestedLists(int depth) {
  std::vector<UInt8> node = {0, 'n', 'u', 'l', 'l', 0, 0, 0, 0};
  for (int level = 0; level <= depth; ++level) {
    std::vector<UInt8> outer = {1, 'l', 'i', 's', 't', 0, 0, 0, 0, 0, 0, 0, 1};
    outer.insert(outer.end(), node.begin(), node.end());
    setU32(outer, 5, UInt32(outer.size() - 9));
    node = outer;
  }
  std::vector<UInt8> message = {'H', 'M', 'A', 'E', 1};
  message.insert(message.end(), node.begin(), node.end());
  return message;
}

TEST(AEFlatten, MalformedMessagesAreRejected) {
  ScopedAEDesc list;
  AECreateList(nullptr, 0, false, &list);
  SInt32 v = 1;
  AEPutPtr(&list, 0, typeSInt32, &v, 4);
  const auto good = flatten(list.get());
  const struct {
    const char* why;
    std::function<void(std::vector<UInt8>&)> damage;
  } cases[] = {
      {"bad magic or version", [](auto& b) { b[4] = 9; }},
      {"unknown kind", [](auto& b) { b[kTopKind] = 7; }},
      {"list type with data kind", [](auto& b) { b[kTopKind] = 0; }},
      {"list kind with unknown type", [](auto& b) { setU32(b, kTopType, FOUR_CHAR_CODE("zzzz")); }},
      {"length past the end", [](auto& b) { setU32(b, kTopLength, 0xFFFFFFF0u); }},
      {"length too short",
       [](auto& b) { setU32(b, kTopLength, UInt32(b.size() - kTopPayload - 1)); }},
      {"huge item count", [](auto& b) { setU32(b, kTopPayload, 0x7FFFFFFFu); }},
      {"item count one too many", [](auto& b) { setU32(b, kTopPayload, 2); }},
      {"trailing byte", [](auto& b) { b.push_back(0); }},
      {"nested past the limit", [](auto& b) { b = nestedLists(kAEFlatMaxDepth); }},
  };
  for (const auto& c : cases) {
    auto bytes = good;
    c.damage(bytes);
    expectRejected(bytes, c.why);
  }
  for (const auto& bytes : {good, nestedLists(kAEFlatMaxDepth - 1)}) {
    ScopedAEDesc ok;
    EXPECT_EQ(AEUnflattenFromBytes(bytes.data(), bytes.size(), &ok), noErr);
  }
}

}  // namespace
