// Conversion of System Events' list of records into LoginItemRecords.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "loginitems/LoginItemsAEInternal.h"
#include "platform/applevents/ScopedAEDesc.h"

namespace {

struct Field {
  DescType type;
  std::vector<UInt8> data;
};

template <class T>
Field field(DescType type, T value) {
  Field f{type, std::vector<UInt8>(sizeof value)};
  std::memcpy(f.data.data(), &value, sizeof value);
  return f;
}

Field utf8(const std::string& text) { return {typeUTF8Text, {text.begin(), text.end()}}; }

// One element of the list: a record with the fields given, or a plain 'long'.
struct Element {
  Element(std::optional<Field> p = {}, std::optional<Field> h = {}, bool r = true)
      : path(std::move(p)), hidden(std::move(h)), record(r) {}
  std::optional<Field> path, hidden;
  bool record;
};

void put(AERecord* record, AEKeyword key, const std::optional<Field>& f) {
  if (f) AEPutParamPtr(record, key, f->type, f->data.data(), Size(f->data.size()));
}

TEST(CreateCFArrayFromAEDescList, ConvertsWholeListsOrNothing) {
  const Field yes = field(typeBoolean, Boolean(1));
  const Field utxt{typeUnicodeText, {'/', 0, 'p', 0, 0xE4, 0, 't', 0, 'h', 0}};
  const struct {
    const char* name;
    std::vector<Element> list;
    OSStatus status;
    std::vector<std::tuple<std::string, bool, bool>> items;  // path, hidden, folder
  } cases[] = {
      {"empty list", {}, noErr, {}},
      {"path and hidden", {{utf8("/nowhere/a b"), yes}}, noErr, {{"/nowhere/a b", true, false}}},
      {"hidden as any nonzero byte",
       {{utf8("/x"), field(typeBoolean, Boolean(7))}},
       noErr,
       {{"/x", true, false}}},
      {"unreadable hidden is false",
       {{utf8("/x"), field(typeSInt32, SInt32(2))}},
       noErr,
       {{"/x", false, false}}},
      {"path as Unicode text", {{utxt}}, noErr, {{"/p\xC3\xA4th", false, false}}},
      {"an existing folder", {{utf8("/tmp")}}, noErr, {{"/tmp", false, true}}},
      {"an item that is not a record", {{{}, {}, false}}, errAECoercionFail, {}},
      {"a path that is not text", {{field(typeSInt32, SInt32(1))}}, errAECoercionFail, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedAEDesc list;
    AECreateList(nullptr, 0, false, &list);
    for (const auto& element : c.list) {
      ScopedAEDesc record;
      if (element.record) {
        AECreateList(nullptr, 0, true, &record);
      } else {
        SInt32 n = 1;
        AECreateDesc(typeSInt32, &n, 4, &record);
      }
      put(&record, FOUR_CHAR_CODE("ppth"), element.path);
      put(&record, FOUR_CHAR_CODE("hidn"), element.hidden);
      AEPutDesc(&list, 0, &record.get());
    }
    CFArrayRef items = nullptr;
    EXPECT_EQ(CreateCFArrayFromAEDescList(&list.get(), &items), c.status);
    if (c.status != noErr) {
      EXPECT_EQ(items, nullptr);
      continue;
    }
    ASSERT_NE(items, nullptr);
    ASSERT_EQ(CFArrayGetCount(items), CFIndex(c.items.size()));
    for (CFIndex i = 0; i < CFArrayGetCount(items); ++i) {
      const auto& [path, hidden, folder] = c.items[std::size_t(i)];
      auto dict = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(items, i));
      auto url = static_cast<CFURLRef>(CFDictionaryGetValue(dict, CFSTR("URL")));
      auto hide = static_cast<CFBooleanRef>(CFDictionaryGetValue(dict, CFSTR("Hidden")));
      EXPECT_EQ(url->path(), path);
      EXPECT_EQ(url->isDirectory(), folder) << "a missing path is taken as a file";
      EXPECT_EQ(CFBooleanGetValue(hide) != 0, hidden);
    }
    CFRelease(items);
  }
}

}  // namespace
