// Events with several observers, and the one display conversion of the meter's bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/CodePage.h"
#include "common/Event.h"

namespace qm {
namespace {

TEST(MulticastEventTest, EveryObserverHearsInOrderAndRemovalIsSafeWhileRaising) {
  TMulticastEvent<int> event;
  std::vector<std::string> heard;
  TMulticastEvent<int>::TToken second = 0;
  event.Add([&](int v) {
    heard.push_back("a" + std::to_string(v));
    event.Remove(second);                                            // drops a later one mid-raise
    event.Add([&](int w) { heard.push_back("c" + std::to_string(w)); });  // heard from the next raise
  });
  second = event.Add([&](int v) { heard.push_back("b" + std::to_string(v)); });
  event.Raise(1);
  EXPECT_EQ(heard, std::vector<std::string>{"a1"});
  heard.clear();
  event.Raise(2);
  EXPECT_EQ(heard, (std::vector<std::string>{"a2", "c2"}));
}

TEST(MulticastEventTest, AnObserverMayRemoveItself) {
  TMulticastEvent<> event;
  int calls = 0;
  TMulticastEvent<>::TToken self = 0;
  self = event.Add([&] {
    ++calls;
    event.Remove(self);
  });
  event.Raise();
  event.Raise();
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(event.Assigned());
}

#ifndef _WIN32  // Windows reads them through its ANSI code page: see SystemLocaleTest
TEST(CodePageTest, MeterBytesBecomeTheirCharacters) {
  struct Case {
    std::string bytes, utf8;
  } cases[] = {
      {"KW", "KW"},
      {"\xA1\xA3", "\xE3\x80\x82"},                 // the phase-angle unit: U+3002
      {"12\xA1\xA3x", "12\xE3\x80\x82x"},
      {"\xFF", "\xC3\xBF"},                         // starts no character: kept as Latin-1
      {"\xA1", "\xC2\xA1"},                         // a lead byte cut off at the end
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MeterTextToUtf8(c.bytes), c.utf8) << c.utf8;
}
#endif

}  // namespace
}  // namespace qm
