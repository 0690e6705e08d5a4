// Our CH9329 library against a fake interface, in this program's CH9329 framing.
#include "devices/CH9329DLL.h"

#include <gtest/gtest.h>

#include <numeric>

#include "BridgeFakes.h"
#include "devices/uEnumerator.h"

namespace qm {
namespace {

using test::TBytes;
using test::TFakeCH9329Chip;
using test::TFakeInterface;
using test::TFakePlatform;

TBytes Padded(TBytes head) {
  head.resize(ch9329wire::kReportLength, 0);
  return head;
}

class CH9329DllTest : public ::testing::Test {
 protected:
  std::shared_ptr<TFakeInterface> AddCH9329() {
    auto iface = platform.Add(0x1A86, 0xE429, 65);
    chip.Install(*iface);
    return iface;
  }
  CH9329_HANDLE OpenInterface(std::size_t n) {
    const CH9329_HANDLE handle = CH9329OpenDevicePath(TEnumerator::UpperCase(platform.Entry(n).Path).c_str());
    if (handle != CH9329_INVALID_HANDLE) handles.push_back(handle);
    return handle;
  }
  void SetUp() override { CH9329SetTimeOut(0, 0); }
  void TearDown() override {
    for (CH9329_HANDLE handle : handles) CH9329CloseDevice(handle);
    CH9329SetTimeOut(kCH9329DefaultTimeoutMs, kCH9329DefaultTimeoutMs);
  }

  TFakePlatform platform;
  hid::TScopedPlatform scoped{platform};
  TFakeCH9329Chip chip;
  std::vector<CH9329_HANDLE> handles;
  TIoEvent event;
};

TEST_F(CH9329DllTest, OpensByTheUpperCasePathAndFailsWithTheInvalidHandle) {
  auto iface = AddCH9329();
  auto held = AddCH9329();
  held->Openable = false;
  EXPECT_NE(OpenInterface(0), CH9329_INVALID_HANDLE);
  EXPECT_EQ(iface->OpenHandles(), 1);
  EXPECT_EQ(OpenInterface(1), CH9329_INVALID_HANDLE);
  EXPECT_EQ(CH9329OpenDevicePath("\\\\?\\HID#NOTHING"), CH9329_INVALID_HANDLE);
  CH9329CloseDevice(handles.front());
  handles.clear();
  EXPECT_EQ(iface->OpenHandles(), 0);
}

TEST_F(CH9329DllTest, WriteDataSendsOneReportOfUpTo31Bytes) {
  auto iface = AddCH9329();
  const CH9329_HANDLE handle = OpenInterface(0);
  const TBytes three = {0xAB, 0xCD, 0x04};
  ASSERT_TRUE(CH9329WriteData(handle, three.data(), 3, &event));
  EXPECT_EQ(iface->Outputs(), (std::vector<TBytes>{Padded({0x00, 0x03, 0xAB, 0xCD, 0x04})}));
  EXPECT_TRUE(event.Signalled());

  TBytes full(32);
  std::iota(full.begin(), full.end(), std::uint8_t{1});
  ASSERT_TRUE(CH9329WriteData(handle, full.data(), 31, &event));
  TBytes expected = {0x00, 31};
  expected.insert(expected.end(), full.begin(), full.begin() + 31);
  EXPECT_EQ(iface->Outputs().back(), Padded(expected));

  EXPECT_FALSE(CH9329WriteData(handle, full.data(), 32, &event));
  EXPECT_FALSE(CH9329WriteData(handle, full.data(), 0, &event));
  EXPECT_FALSE(CH9329WriteData(handle, full.data(), 3, nullptr));
  EXPECT_FALSE(CH9329WriteData(CH9329_INVALID_HANDLE, full.data(), 3, &event));
  EXPECT_EQ(iface->Outputs().size(), 2u);
}

struct TReadCase {
  const char* name;
  TBytes report;   // as the platform hands it over
  bool ok;
  TBytes data;     // expected bytes when ok
};

class CH9329ReadTest : public CH9329DllTest, public ::testing::WithParamInterface<TReadCase> {};

TEST_P(CH9329ReadTest, ReadDataTakesTheBytesOfOneReport) {
  auto iface = AddCH9329();
  const CH9329_HANDLE handle = OpenInterface(0);
  iface->PushInput(GetParam().report);
  std::uint8_t buffer[kCH9329MaxReadLength];
  std::uint32_t length = 777;
  EXPECT_EQ(CH9329ReadData(handle, buffer, &length, &event), GetParam().ok);
  if (GetParam().ok)
    EXPECT_EQ(TBytes(buffer, buffer + length), GetParam().data);
  else
    EXPECT_EQ(length, 777u);  // left as it was
  EXPECT_TRUE(event.Signalled());
}

INSTANTIATE_TEST_SUITE_P(
    Framing, CH9329ReadTest,
    ::testing::Values(TReadCase{"WithZeroReportId", Padded({0x00, 0x03, 'a', 'b', 'c'}), true, {'a', 'b', 'c'}},
                      // hidraw drops the zero ID of an unnumbered report
                      TReadCase{"WithoutReportId", TBytes{0x02, 'x', 'y', 0, 0}, true, {'x', 'y'}},
                      TReadCase{"Empty", Padded({0x00, 0x00}), true, {}},
                      TReadCase{"Longest", [] {
                                  TBytes r(65, 0x7E);
                                  r[0] = 0;
                                  r[1] = 63;
                                  return r;
                                }(), true, TBytes(63, 0x7E)},
                      TReadCase{"CountTooLarge", Padded({0x00, 0x40}), false, {}},
                      TReadCase{"CountPastTheReport", TBytes{0x05, 'a', 'b'}, false, {}},
                      TReadCase{"NumberedReport", Padded({0x01, 0x02, 'a', 'b'}), false, {}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(CH9329DllTest, ReadDataTimesOutWithNoBytesAndFailsWhenTheDeviceIsGone) {
  auto iface = AddCH9329();
  const CH9329_HANDLE handle = OpenInterface(0);
  std::uint8_t buffer[kCH9329MaxReadLength];
  std::uint32_t length = 5;
  EXPECT_TRUE(CH9329ReadData(handle, buffer, &length, &event));
  EXPECT_EQ(length, 0u);
  iface->Unplug();
  length = 5;
  EXPECT_FALSE(CH9329ReadData(handle, buffer, &length, &event));
  EXPECT_EQ(length, 5u);
  EXPECT_FALSE(CH9329ReadData(handle, buffer, &length, nullptr));
}

TEST_F(CH9329DllTest, ConfigurationBlockIsReadAndWrittenInFourPages) {
  auto iface = AddCH9329();
  std::iota(chip.Block.begin(), chip.Block.end(), std::uint8_t{0x80});
  const CH9329_HANDLE handle = OpenInterface(0);
  TChipConfig config;
  ASSERT_TRUE(CH9329GetCFG(handle, &config));
  EXPECT_EQ(TBytes(config.Bytes, config.Bytes + 128), chip.Block);
  std::vector<TBytes> expected;
  for (std::uint8_t page = 0; page < 4; ++page) expected.push_back(Padded({0x00, 0x52, page}));
  EXPECT_EQ(iface->FeatureSets(), expected);

  ch9329wire::StoreBaud(config.Bytes, 115200);
  ASSERT_TRUE(CH9329SetCFG(handle, config));
  const auto sets = iface->FeatureSets();
  ASSERT_EQ(sets.size(), 8u);
  for (std::uint8_t page = 0; page < 4; ++page) {
    TBytes write = {0x00, 0x57, page};
    write.insert(write.end(), config.Bytes + page * 32, config.Bytes + page * 32 + 32);
    EXPECT_EQ(sets[4 + page], Padded(write));
  }
  EXPECT_EQ(TBytes(chip.Block.begin() + 6, chip.Block.begin() + 10), (TBytes{0x00, 0x01, 0xC2, 0x00}));
}

TEST_F(CH9329DllTest, AnUnreadablePageLeavesTheConfigurationUntouched) {
  AddCH9329();
  chip.RefuseReads = true;
  const CH9329_HANDLE handle = OpenInterface(0);
  TChipConfig config;
  config.Bytes[0] = 0x42;
  EXPECT_FALSE(CH9329GetCFG(handle, &config));
  EXPECT_EQ(config.Bytes[0], 0x42);
}

TEST_F(CH9329DllTest, TheReadTimeOutAppliesToEveryHandleOpenedBeforeOrAfter) {
  auto first = AddCH9329();
  auto second = AddCH9329();
  const CH9329_HANDLE before = OpenInterface(0);
  ASSERT_TRUE(CH9329SetTimeOut(25, 100));
  const CH9329_HANDLE after = OpenInterface(1);
  std::uint8_t buffer[kCH9329MaxReadLength];
  std::uint32_t length = 0;
  CH9329ReadData(before, buffer, &length, &event);
  CH9329ReadData(after, buffer, &length, &event);
  EXPECT_EQ(first->ReadTimeouts(), (std::vector<int>{25}));
  EXPECT_EQ(second->ReadTimeouts(), (std::vector<int>{25}));
}

}  // namespace
}  // namespace qm
