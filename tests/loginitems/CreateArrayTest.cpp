// Conversion of System Events' list of records into LoginItemRecords.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "loginitems/LoginItemsAEInternal.h"
#include "platform/applevents/ScopedAEDesc.h"

namespace {

constexpr AEKeyword kPath = FOUR_CHAR_CODE("ppth");
constexpr AEKeyword kHidden = FOUR_CHAR_CODE("hidn");

void addRecord(AEDescList* list, const std::function<void(AERecord*)>& fill) {
  ScopedAEDesc record;
  AECreateList(nullptr, 0, true, &record);
  fill(&record);
  AEPutDesc(list, 0, &record.get());
}

void putPath(AERecord* r, const std::string& path) {
  AEPutParamPtr(r, kPath, typeUTF8Text, path.data(), Size(path.size()));
}

struct Case {
  const char* name;
  std::function<void(AEDescList*)> build;
  OSStatus status;
  std::vector<std::pair<std::string, bool>> items;
};

TEST(CreateCFArrayFromAEDescList, ConvertsWholeListsOrNothing) {
  const Case cases[] = {
      {"empty list", [](AEDescList*) {}, noErr, {}},
      {"path and hidden",
       [](AEDescList* l) {
         addRecord(l, [](AERecord* r) {
           putPath(r, "/nowhere/a b");
           Boolean yes = 1;
           AEPutParamPtr(r, kHidden, typeBoolean, &yes, 1);
         });
       },
       noErr,
       {{"/nowhere/a b", true}}},
      {"hidden as any nonzero byte",
       [](AEDescList* l) {
         addRecord(l, [](AERecord* r) {
           putPath(r, "/x");
           Boolean odd = 7;
           AEPutParamPtr(r, kHidden, typeBoolean, &odd, 1);
         });
       },
       noErr,
       {{"/x", true}}},
      {"unreadable hidden is false",
       [](AEDescList* l) {
         addRecord(l, [](AERecord* r) {
           putPath(r, "/x");
           SInt32 two = 2;
           AEPutParamPtr(r, kHidden, typeSInt32, &two, 4);
         });
       },
       noErr,
       {{"/x", false}}},
      {"path as Unicode text",
       [](AEDescList* l) {
         addRecord(l, [](AERecord* r) {
           std::u16string text = u"/p\u00e4th";
           AEPutParamPtr(r, kPath, typeUnicodeText, text.data(), Size(text.size() * 2));
         });
       },
       noErr,
       {{"/p\xC3\xA4th", false}}},
      {"missing path fails the whole list",
       [](AEDescList* l) {
         addRecord(l, [](AERecord* r) { putPath(r, "/first"); });
         addRecord(l, [](AERecord*) {});
       },
       errAEDescNotFound,
       {}},
      {"an item that is not a record",
       [](AEDescList* l) {
         SInt32 n = 1;
         AEPutPtr(l, 0, typeSInt32, &n, 4);
       },
       errAECoercionFail,
       {}},
      {"a path that is not text",
       [](AEDescList* l) {
         addRecord(l, [](AERecord* r) {
           SInt32 n = 1;
           AEPutParamPtr(r, kPath, typeSInt32, &n, 4);
         });
       },
       errAECoercionFail,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedAEDesc list;
    AECreateList(nullptr, 0, false, &list);
    c.build(&list);
    CFArrayRef items = nullptr;
    EXPECT_EQ(CreateCFArrayFromAEDescList(&list.get(), &items), c.status);
    if (c.status != noErr) {
      EXPECT_EQ(items, nullptr);
      continue;
    }
    ASSERT_NE(items, nullptr);
    ASSERT_EQ(CFArrayGetCount(items), CFIndex(c.items.size()));
    for (CFIndex i = 0; i < CFArrayGetCount(items); ++i) {
      auto dict = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(items, i));
      auto url = static_cast<CFURLRef>(CFDictionaryGetValue(dict, CFSTR("URL")));
      auto hidden = static_cast<CFBooleanRef>(CFDictionaryGetValue(dict, CFSTR("Hidden")));
      EXPECT_EQ(url->path(), c.items[std::size_t(i)].first);
      EXPECT_FALSE(url->isDirectory()) << "a missing path is taken as a file";
      EXPECT_EQ(CFBooleanGetValue(hidden) != 0, c.items[std::size_t(i)].second);
    }
    CFRelease(items);
  }
}

TEST(CreateCFArrayFromAEDescList, AnExistingFolderBecomesAFolderURL) {
  ScopedAEDesc list;
  AECreateList(nullptr, 0, false, &list);
  addRecord(&list, [](AERecord* r) { putPath(r, "/tmp"); });
  CFArrayRef items = nullptr;
  ASSERT_EQ(CreateCFArrayFromAEDescList(&list.get(), &items), noErr);
  auto dict = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(items, 0));
  auto url = static_cast<CFURLRef>(CFDictionaryGetValue(dict, CFSTR("URL")));
  EXPECT_TRUE(url->isDirectory());
  EXPECT_EQ(url->path(), "/tmp");
  CFRelease(items);
}

}  // namespace
