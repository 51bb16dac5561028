// The descriptor model: building, reading, coercing and disposing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/applevents/AEDataModel.h"
#include "platform/applevents/ScopedAEDesc.h"

namespace {

std::vector<UInt8> bytesOf(const AEDesc& desc) {
  std::vector<UInt8> data(static_cast<std::size_t>(AEGetDescDataSize(&desc)));
  AEGetDescData(&desc, data.data(), static_cast<Size>(data.size()));
  return data;
}

template <class T>
std::vector<UInt8> raw(T value) {
  std::vector<UInt8> data(sizeof value);
  std::memcpy(data.data(), &value, sizeof value);
  return data;
}

std::vector<UInt8> raw(const std::string& text) { return {text.begin(), text.end()}; }
std::vector<UInt8> raw(const char* text) { return raw(std::string(text)); }
std::vector<UInt8> raw(const std::u16string& text) {
  std::vector<UInt8> data(text.size() * 2);
  std::memcpy(data.data(), text.data(), data.size());
  return data;
}
std::vector<UInt8> raw(const char16_t* text) { return raw(std::u16string(text)); }

struct CoercionCase {
  const char* name;
  DescType from;
  std::vector<UInt8> data;
  DescType to;
  OSErr status;
  std::vector<UInt8> expected;
};

TEST(AEDescriptor, CoercionsGiveFaithfulValuesOrFail) {
  constexpr OSErr kFail = errAECoercionFail;
  const CoercionCase cases[] = {
      {"utf8 to utxt", typeUTF8Text, raw("a\xC3\xA9 \xF0\x9F\x98\x80"), typeUnicodeText, noErr,
       raw(u"a\u00e9 \U0001F600")},
      {"utxt to utf8", typeUnicodeText, raw(u"/p\u00e4th"), typeUTF8Text, noErr,
       raw("/p\xC3\xA4th")},
      {"empty utf8", typeUTF8Text, {}, typeUnicodeText, noErr, {}},
      {"empty utxt", typeUnicodeText, {}, typeUTF8Text, noErr, {}},
      {"malformed utf8", typeUTF8Text, raw("\xC3("), typeUnicodeText, kFail, {}},
      {"utf8 with NUL", typeUTF8Text, raw(std::string("a\0b", 3)), typeUnicodeText, kFail, {}},
      {"odd utxt", typeUnicodeText, {0x41, 0x00, 0x42}, typeUTF8Text, kFail, {}},
      {"lone surrogate", typeUnicodeText, raw(std::u16string(1, 0xD800)), typeUTF8Text, kFail, {}},
      {"long to shor", typeSInt32, raw(SInt32(-1234)), typeSInt16, noErr, raw(SInt16(-1234))},
      {"long to shor max", typeSInt32, raw(SInt32(32767)), typeSInt16, noErr, raw(SInt16(32767))},
      {"long to shor overflow", typeSInt32, raw(SInt32(32768)), typeSInt16, kFail, {}},
      {"long to shor underflow", typeSInt32, raw(SInt32(-32769)), typeSInt16, kFail, {}},
      {"shor to long", typeSInt16, raw(SInt16(-5)), typeSInt32, noErr, raw(SInt32(-5))},
      {"short long", typeSInt32, {1, 2, 3}, typeSInt16, kFail, {}},
      {"long 1 to bool", typeSInt32, raw(SInt32(1)), typeBoolean, noErr, {1}},
      {"shor 0 to bool", typeSInt16, raw(SInt16(0)), typeBoolean, noErr, {0}},
      {"long 2 to bool", typeSInt32, raw(SInt32(2)), typeBoolean, kFail, {}},
      {"true to bool", typeTrue, {}, typeBoolean, noErr, {1}},
      {"fals to bool", typeFalse, {}, typeBoolean, noErr, {0}},
      {"bool to long", typeBoolean, {7}, typeSInt32, noErr, raw(SInt32(1))},
      {"wide bool", typeBoolean, {1, 0}, typeSInt32, kFail, {}},
      {"same type", FOUR_CHAR_CODE("abcd"), {1, 2}, FOUR_CHAR_CODE("abcd"), noErr, {1, 2}},
      {"wildcard", typeSInt16, raw(SInt16(3)), typeWildCard, noErr, raw(SInt16(3))},
      {"text to long", typeUTF8Text, raw("12"), typeSInt32, kFail, {}},
      {"data to list", typeSInt32, raw(SInt32(1)), typeAEList, kFail, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedAEDesc result;
    OSErr err = AECoercePtr(c.from, c.data.data(), static_cast<Size>(c.data.size()), c.to, &result);
    EXPECT_EQ(err, c.status);
    if (c.status == noErr) {
      EXPECT_EQ(result.type(), c.to == typeWildCard ? c.from : c.to);
      EXPECT_EQ(bytesOf(result.get()), c.expected);
    } else {
      EXPECT_EQ(result.type(), typeNull);
    }
  }
}

TEST(AEDescriptor, ContainersCoerceOnlyToRelatedShapes) {
  ScopedAEDesc record, list, out;
  ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
  ASSERT_EQ(AEPutParamPtr(&record, keyAEPosition, typeEnumerated, &kAEEnd, 4), noErr);
  ASSERT_EQ(AECoerceDesc(&record.get(), typeInsertionLoc, &out), noErr);
  EXPECT_EQ(out.type(), typeInsertionLoc);
  DescType position = 0;
  EXPECT_EQ(
      AEGetParamPtr(&out.get(), keyAEPosition, typeEnumerated, nullptr, &position, 4, nullptr),
      noErr);
  EXPECT_EQ(position, kAEEnd);

  ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
  ScopedAEDesc same, bad1, bad2;
  EXPECT_EQ(AECoerceDesc(&list.get(), typeAEList, &same), noErr);
  EXPECT_EQ(same.type(), typeAEList);
  EXPECT_EQ(AECoerceDesc(&list.get(), typeAERecord, &bad1), errAECoercionFail);
  EXPECT_EQ(AECoerceDesc(&record.get(), typeAEList, &bad2), errAECoercionFail);
}

TEST(AEDescriptor, ListsCountAndIndexFromOne) {
  ScopedAEDesc list;
  ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
  for (SInt32 i = 10; i < 13; ++i) ASSERT_EQ(AEPutPtr(&list, 0, typeSInt32, &i, 4), noErr);
  long count = 0;
  ASSERT_EQ(AECountItems(&list.get(), &count), noErr);
  EXPECT_EQ(count, 3);
  struct {
    long index;
    OSErr status;
    SInt16 value;
  } cases[] = {
      {1, noErr, 10}, {3, noErr, 12}, {0, errAEIllegalIndex, 0}, {4, errAEIllegalIndex, 0}};
  for (const auto& c : cases) {
    ScopedAEDesc item;
    AEKeyword key = 1;
    EXPECT_EQ(AEGetNthDesc(&list.get(), c.index, typeSInt16, &key, &item), c.status) << c.index;
    if (c.status != noErr) continue;
    SInt16 value = 0;
    AEGetDescData(&item.get(), &value, 2);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(key, 0u);
  }
  ScopedAEDesc data;
  long junk;
  AECreateDesc(typeSInt32, &count, 4, &data);
  EXPECT_EQ(AECountItems(&data.get(), &junk), errAEWrongDataType);
}

TEST(AEDescriptor, RecordParametersReplaceReportMissingOnesAndTheirWholeSize) {
  ScopedAEDesc record;
  ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
  SInt32 one = 1, two = 2, value = 0;
  AEPutParamPtr(&record, FOUR_CHAR_CODE("abcd"), typeSInt32, &one, 4);
  AEPutParamPtr(&record, FOUR_CHAR_CODE("abcd"), typeSInt32, &two, 4);
  std::string text(2000, 'x');
  AEPutParamPtr(&record, FOUR_CHAR_CODE("ppth"), typeUTF8Text, text.data(), 2000);
  long count = 0;
  AECountItems(&record.get(), &count);
  EXPECT_EQ(count, 2);
  Size size = 0;
  DescType type = 0;
  EXPECT_EQ(
      AEGetParamPtr(&record.get(), FOUR_CHAR_CODE("abcd"), typeWildCard, &type, &value, 4, &size),
      noErr);
  EXPECT_EQ(value, 2);
  EXPECT_EQ(type, typeSInt32);
  EXPECT_EQ(
      AEGetParamPtr(&record.get(), FOUR_CHAR_CODE("zzzz"), typeSInt32, &type, &value, 4, &size),
      errAEDescNotFound);
  // The whole size is reported, but only what fits is copied.
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(AEGetParamPtr(&record.get(), FOUR_CHAR_CODE("ppth"), typeUTF8Text, nullptr, buffer, 10,
                          &size),
            noErr);
  EXPECT_EQ(size, 2000);
  EXPECT_EQ(buffer[9], 'x');
  EXPECT_EQ(buffer[10], '#');
}

TEST(AEDescriptor, AppleEventsHaveDistinctReturnIDsAndNoParametersYet) {
  struct {
    UInt32 high, low;
  } psn{1, 42};
  ScopedAEDesc target, a, b;
  AECreateDesc(typeProcessSerialNumber, &psn, 8, &target);
  ASSERT_EQ(AECreateAppleEvent(kAECoreSuite, kAEGetData, &target.get(), kAutoGenerateReturnID,
                               kAnyTransactionID, &a),
            noErr);
  ASSERT_EQ(AECreateAppleEvent(kAECoreSuite, kAEGetData, &target.get(), kAutoGenerateReturnID,
                               kAnyTransactionID, &b),
            noErr);
  AEReturnID ida = 0, idb = 0;
  AEGetAttributePtr(&a.get(), keyReturnIDAttr, typeSInt16, nullptr, &ida, 2, nullptr);
  AEGetAttributePtr(&b.get(), keyReturnIDAttr, typeSInt16, nullptr, &idb, 2, nullptr);
  EXPECT_NE(ida, idb);
  EXPECT_GT(ida, 0);
  long params = -1;
  AECountItems(&a.get(), &params);
  EXPECT_EQ(params, 0);
}

TEST(AEDescriptor, ObjectSpecifiersDisposeTheirInputsOnlyWhenAsked) {
  for (Boolean dispose : {Boolean(false), Boolean(true)}) {
    AEDesc container = nullDescriptor;
    AEDesc key = nullDescriptor;
    SInt32 index = 3;
    AECreateDesc(typeSInt32, &index, 4, &key);
    ScopedAEDesc spec;
    ASSERT_EQ(CreateObjSpecifier(FOUR_CHAR_CODE("logi"), &container, formAbsolutePosition, &key,
                                 dispose, &spec),
              noErr);
    EXPECT_EQ(spec.type(), typeObjectSpecifier);
    SInt32 seld = 0;
    EXPECT_EQ(AEGetParamPtr(&spec.get(), keyAEKeyData, typeSInt32, nullptr, &seld, 4, nullptr),
              noErr);
    EXPECT_EQ(seld, 3);
    EXPECT_EQ(key.descriptorType, dispose ? typeNull : typeSInt32);
    AEDisposeDesc(&key);  // harmless when already disposed
  }
}

TEST(AEDescriptor, BadArgumentsFailAndLeaveTheNullDescriptor) {
  AEDesc result{typeSInt32, nullptr};
  EXPECT_EQ(AECreateDesc(typeSInt32, nullptr, 4, &result), paramErr);
  EXPECT_EQ(result.descriptorType, typeNull);
  EXPECT_EQ(AECreateDesc(typeAEList, "abcd", 4, &result), errAEWrongDataType);
  EXPECT_EQ(AECreateList("x", 1, false, &result), paramErr);
  AEDesc null = nullDescriptor;
  EXPECT_EQ(AEDisposeDesc(&null), noErr);
  EXPECT_EQ(AEDisposeDesc(&null), noErr);
}

}  // namespace
