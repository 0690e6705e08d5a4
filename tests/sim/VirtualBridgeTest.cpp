// The virtual bridges as a chip library sees them through the simulated bus. The CP2110's expected
// bytes are those of the chip's HID interface document; the CH9329's those of our own framing.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

#include "devices/CH9329Wire.h"
#include "devices/MainThread.h"
#include "sim/SimHidBus.h"
#include "sim/VirtualCH9329.h"
#include "sim/VirtualCP2110.h"

namespace qm::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

const Bytes kFrame = {0xAB, 0xCD, 0x04, 0x01, 0x07, 0x00, 0x84};

Bytes Count(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i + 1);
  return b;
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Padded(Bytes b, std::size_t size) {
  b.resize(size, 0);
  return b;
}

// One plugged bridge, an open handle on it, and the meter's end of its line.
class BridgeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TMainThread::Instance().BindToCurrentThread();
    Connect();
  }
  void TearDown() override { TMainThread::Instance().ProcessPending(); }

  virtual TBridgeModel Model() const = 0;
  virtual std::size_t ReportSize() const = 0;

  void Connect() {
    bridge = bus.PlugBridge(Model());
    dev = bus.Open(bridge.Path);
    ASSERT_NE(dev, nullptr);
  }
  void Replug() {
    ASSERT_TRUE(bus.Unplug(bridge.Id));
    bus.Plug(bridge.Bridge);
    dev = bus.Open(bridge.Path);
    ASSERT_NE(dev, nullptr);
  }

  // A get-feature with the report ID (and, for the CH9329, nothing else) in byte 0; empty on failure.
  Bytes Get(Bytes request) {
    Bytes r = Padded(std::move(request), ReportSize());
    const int n = dev->GetFeatureReport(r.data(), r.size());
    if (n < 0) return {};
    r.resize(static_cast<std::size_t>(n));
    return r;
  }
  bool Set(const Bytes& report) {
    return dev->SetFeatureReport(report.data(), report.size()) == static_cast<int>(report.size());
  }
  bool Write(const Bytes& report) {
    return dev->WriteOutputReport(report.data(), report.size()) == static_cast<int>(report.size());
  }
  // One input report; empty on time-out or failure.
  Bytes Read(int timeoutMs = 0) {
    Bytes b(ReportSize());
    const int n = dev->ReadInputReport(b.data(), b.size(), timeoutMs);
    b.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return b;
  }

  void MeterSends(const Bytes& data, std::uint32_t baud = 9600) { bridge.Line->toHost.Send(data.data(), data.size(), baud); }
  Bytes MeterGets(std::uint32_t baud = 9600) {
    Bytes b(1024);
    b.resize(bridge.Line->toMeter.Receive(b.data(), b.size(), 0ms, baud));
    return b;
  }

  TSimHidBus bus;
  TPluggedBridge bridge;
  std::unique_ptr<hid::THidDevice> dev;
};

// ---------------------------------------------------------------------------------------------
// CP2110

class Cp2110 : public BridgeFixture {
 protected:
  TBridgeModel Model() const override { return bmCP2110; }
  std::size_t ReportSize() const override { return 64; }
  void Enable() { ASSERT_TRUE(Set({0x41, 0x01})); }
};

const Bytes kConfig9600_8N1 = {0x50, 0x00, 0x00, 0x25, 0x80, 0x00, 0x00, 0x03, 0x00};

TEST_F(Cp2110, PowersUpWithTheUartOffAt9600_8N1) {
  EXPECT_EQ(Get({0x41}), (Bytes{0x41, 0x00}));
  EXPECT_EQ(Get({0x50}), kConfig9600_8N1);
  const Bytes version = Get({0x46});
  ASSERT_EQ(version.size(), 3u);
  EXPECT_EQ(version[1], 0x0A) << "part number of a CP2110";
  EXPECT_EQ(Get({0x42}), (Bytes{0x42, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

class Cp2110Config : public Cp2110, public ::testing::WithParamInterface<Bytes> {};

TEST_P(Cp2110Config, AValidConfigIsTakenAsGiven) {
  ASSERT_TRUE(Set(GetParam()));
  EXPECT_EQ(Get({0x50}), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Valid, Cp2110Config,
                         ::testing::Values(Bytes{0x50, 0x00, 0x01, 0xC2, 0x00, 0x00, 0x00, 0x03, 0x00},  // 115200 8N1
                                           Bytes{0x50, 0x00, 0x00, 0x01, 0x2C, 0x00, 0x00, 0x03, 0x00},  // 300
                                           Bytes{0x50, 0x00, 0x0F, 0x42, 0x40, 0x00, 0x00, 0x03, 0x00},  // 1 000 000
                                           // 19200, even parity, RTS/CTS, 7 data bits, long stop bit
                                           Bytes{0x50, 0x00, 0x00, 0x4B, 0x00, 0x02, 0x01, 0x02, 0x01}));

class Cp2110BadConfig : public Cp2110, public ::testing::WithParamInterface<Bytes> {};

TEST_P(Cp2110BadConfig, IsRejectedAndChangesNothing) {
  EXPECT_FALSE(Set(GetParam()));
  EXPECT_EQ(Get({0x50}), kConfig9600_8N1);
}

INSTANTIATE_TEST_SUITE_P(Invalid, Cp2110BadConfig,
                         ::testing::Values(Bytes{0x50, 0x00, 0x00, 0x01, 0x2B, 0x00, 0x00, 0x03, 0x00},  // 299 baud
                                           Bytes{0x50, 0x00, 0x0F, 0x42, 0x41, 0x00, 0x00, 0x03, 0x00},  // 1 000 001
                                           Bytes{0x50, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00},  // 0
                                           Bytes{0x50, 0x00, 0x00, 0x25, 0x80, 0x05, 0x00, 0x03, 0x00},  // parity 5
                                           Bytes{0x50, 0x00, 0x00, 0x25, 0x80, 0x00, 0x02, 0x03, 0x00},  // flow 2
                                           Bytes{0x50, 0x00, 0x00, 0x25, 0x80, 0x00, 0x00, 0x04, 0x00},  // data 4
                                           Bytes{0x50, 0x00, 0x00, 0x25, 0x80, 0x00, 0x00, 0x03, 0x02},  // stop 2
                                           Bytes{0x50, 0x00, 0x01, 0xC2, 0x00, 0x00, 0x00, 0x03}));     // short

TEST_F(Cp2110, DataReportsCarryTheirByteCountAsReportId) {
  Enable();
  EXPECT_TRUE(Write({0x03, 0xAB, 0xCD, 0x04}));
  EXPECT_TRUE(Write(Padded({0x02, 0x11, 0x22}, 64)));  // a full-length report: the ID still says 2
  EXPECT_EQ(MeterGets(), (Bytes{0xAB, 0xCD, 0x04, 0x11, 0x22}));

  MeterSends(kFrame);
  EXPECT_EQ(Read(1000), Join({0x07}, kFrame));
}

TEST_F(Cp2110, ABurstIsSplitIntoReportsOfAtMost63Bytes) {
  Enable();
  const Bytes burst = Count(100);
  MeterSends(burst);
  EXPECT_EQ(Read(), Join({0x3F}, Bytes(burst.begin(), burst.begin() + 63)));
  EXPECT_EQ(Read(), Join({0x25}, Bytes(burst.begin() + 63, burst.end())));
  EXPECT_TRUE(Read().empty());
}

TEST_F(Cp2110, MalformedDataReportsAreRefused) {
  Enable();
  EXPECT_FALSE(Write({0x00, 0xAB}));               // ID 0 is no data report
  EXPECT_FALSE(Write({0x41, 0x01}));               // a feature ID
  EXPECT_FALSE(Write({0x05, 0x01, 0x02, 0x03}));   // says 5, carries 3
  EXPECT_TRUE(MeterGets().empty());
}

TEST_F(Cp2110, NoDataMovesWhileTheUartIsOff) {
  EXPECT_TRUE(Write({0x02, 0xAB, 0xCD}));  // the report is taken, the bytes go nowhere
  EXPECT_TRUE(MeterGets().empty());
  MeterSends(kFrame);
  EXPECT_TRUE(Read(20).empty());
  EXPECT_EQ(Get({0x42}), (Bytes{0x42, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));

  Enable();
  EXPECT_TRUE(Read().empty()) << "bytes that came while the UART was off are lost";
  MeterSends(kFrame);
  EXPECT_EQ(Read(1000), Join({0x07}, kFrame));

  ASSERT_TRUE(Set({0x41, 0x00}));
  EXPECT_TRUE(Write({0x01, 0xAB}));
  EXPECT_TRUE(MeterGets().empty());
  EXPECT_FALSE(Set({0x41, 0x02}));
}

TEST_F(Cp2110, ABaudRateOtherThanTheMetersGarblesBothWays) {
  Enable();
  ASSERT_TRUE(Set({0x50, 0x00, 0x00, 0x4B, 0x00, 0x00, 0x00, 0x03, 0x00}));  // 19200
  MeterSends(kFrame);
  const Bytes got = Read(1000);
  ASSERT_EQ(got.size(), kFrame.size() + 1);
  EXPECT_NE(Bytes(got.begin() + 1, got.end()), kFrame);

  ASSERT_TRUE(Write(Join({0x07}, kFrame)));
  const Bytes heard = MeterGets(9600);
  ASSERT_EQ(heard.size(), kFrame.size());
  EXPECT_NE(heard, kFrame);
  ASSERT_TRUE(Write(Join({0x07}, kFrame)));
  EXPECT_EQ(MeterGets(19200), kFrame) << "a meter at the bridge's rate hears it clearly";

  ASSERT_TRUE(Set(kConfig9600_8N1));
  MeterSends(kFrame);
  EXPECT_EQ(Read(1000), Join({0x07}, kFrame));
}

TEST_F(Cp2110, StatusCountsTheFifosAndPurgeEmptiesThem) {
  Enable();
  MeterSends(Count(10));
  ASSERT_TRUE(Write({0x04, 0x01, 0x02, 0x03, 0x04}));  // the meter does not read yet
  EXPECT_EQ(Get({0x42}), (Bytes{0x42, 0x00, 0x04, 0x00, 0x0A, 0x00, 0x00}));

  ASSERT_TRUE(Set({0x43, 0x01}));
  EXPECT_EQ(Get({0x42}), (Bytes{0x42, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00}));
  ASSERT_TRUE(Write({0x02, 0x01, 0x02}));
  ASSERT_TRUE(Set({0x43, 0x02}));
  EXPECT_EQ(Get({0x42}), (Bytes{0x42, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00}));
  MeterSends(Count(3));
  ASSERT_TRUE(Set({0x43, 0x03}));
  EXPECT_EQ(Get({0x42}), (Bytes{0x42, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_TRUE(MeterGets().empty());
  EXPECT_TRUE(Read().empty());

  EXPECT_FALSE(Set({0x43, 0x00}));
  EXPECT_FALSE(Set({0x43, 0x04}));
}

TEST_F(Cp2110, ResetAndReplugReturnToThePowerOnState) {
  for (bool replug : {false, true}) {
    SCOPED_TRACE(replug ? "replug" : "reset");
    Enable();
    ASSERT_TRUE(Set({0x50, 0x00, 0x01, 0xC2, 0x00, 0x00, 0x00, 0x03, 0x00}));
    if (replug)
      Replug();
    else
      ASSERT_TRUE(Set({0x40, 0x00}));
    EXPECT_EQ(Get({0x41}), (Bytes{0x41, 0x00}));
    EXPECT_EQ(Get({0x50}), kConfig9600_8N1);
  }
}

TEST_F(Cp2110, ReportsOutsideTheProtocolFail) {
  EXPECT_TRUE(Get({0x43}).empty()) << "purge is set-only";
  EXPECT_TRUE(Get({0x40}).empty()) << "reset is set-only";
  EXPECT_TRUE(Get({0x60}).empty()) << "customisation is not simulated";
  EXPECT_FALSE(Set({0x46, 0x0A, 0x01})) << "version is get-only";
  EXPECT_FALSE(Set({0x42, 0, 0, 0, 0, 0, 0})) << "status is get-only";
  Bytes tiny = {0x50, 0, 0, 0};
  EXPECT_EQ(dev->GetFeatureReport(tiny.data(), tiny.size()), -1) << "buffer shorter than the report";
}

TEST_F(Cp2110, AReadWaitsForTheFirstByte) {
  Enable();
  auto read = std::async(std::launch::async, [&] { return Read(10000); });
  MeterSends(kFrame);
  ASSERT_EQ(read.wait_for(20s), std::future_status::ready);
  const Bytes got = read.get();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got[0], got.size() - 1);
  EXPECT_EQ(Bytes(got.begin() + 1, got.end()), Bytes(kFrame.begin(), kFrame.begin() + got[0]));
}

// ---------------------------------------------------------------------------------------------
// CH9329

// The SetFeature that writes one 32-byte page of `block`.
Bytes WritePage(std::uint8_t page, const Bytes& block) {
  return Join({0x00, 0x57, page}, Bytes(block.begin() + page * 32, block.begin() + page * 32 + 32));
}

class Ch9329 : public BridgeFixture {
 protected:
  TBridgeModel Model() const override { return bmCH9329; }
  std::size_t ReportSize() const override { return ch9329wire::kReportLength; }

  // The 128-byte block read page by page, as the library reads it.
  Bytes ReadBlock() {
    Bytes block;
    for (std::uint8_t page = 0; page < 4; ++page) {
      EXPECT_TRUE(Set({0x00, 0x52, page}));
      const Bytes answer = Get({0x00});
      EXPECT_EQ(answer.size(), 65u);
      if (answer.size() != 65u) return {};
      EXPECT_EQ(answer[1], 0x52);
      EXPECT_EQ(answer[2], page);
      block.insert(block.end(), answer.begin() + 3, answer.begin() + 35);
    }
    return block;
  }
  Bytes ChipConfig() const {
    const auto c = static_cast<TVirtualCH9329&>(*bridge.Bridge).Config();
    return Bytes(c.begin(), c.end());
  }
};

TEST_F(Ch9329, DataReportsRoundTrip) {
  EXPECT_TRUE(Write(Padded(Join({0x00, 0x07}, kFrame), 65)));
  EXPECT_TRUE(Write(Join({0x00, 0x1F}, Count(31))));
  EXPECT_EQ(MeterGets(), Join(kFrame, Count(31)));

  MeterSends(kFrame);
  // Read as an unnumbered report arrives: no ID byte, the count, the data, zeros to 64 bytes.
  EXPECT_EQ(Read(1000), Padded(Join({0x07}, kFrame), 64));
}

TEST_F(Ch9329, ABurstIsSplitIntoReportsOfAtMost63Bytes) {
  const Bytes burst = Count(100);
  MeterSends(burst);
  EXPECT_EQ(Read(), Join({63}, Bytes(burst.begin(), burst.begin() + 63)));
  EXPECT_EQ(Read(), Padded(Join({37}, Bytes(burst.begin() + 63, burst.end())), 64));
}

TEST_F(Ch9329, MalformedDataReportsAreRefused) {
  EXPECT_FALSE(Write(Padded({0x01, 0x02, 0xAB, 0xCD}, 65)));  // not the zero report ID
  EXPECT_FALSE(Write(Padded({0x00, 0x40}, 65)));              // 64 data bytes do not fit
  EXPECT_FALSE(Write({0x00, 0x05, 0x01, 0x02}));              // says 5, carries 2
  EXPECT_TRUE(MeterGets().empty());
  Bytes small(63);
  EXPECT_EQ(dev->ReadInputReport(small.data(), small.size(), 0), -1);
}

TEST_F(Ch9329, ConfigBlockHolds9600InBytes6To9) {
  const Bytes block = ReadBlock();
  ASSERT_EQ(block.size(), 128u);
  EXPECT_EQ(Bytes(block.begin() + 6, block.begin() + 10), (Bytes{0x00, 0x00, 0x25, 0x80}));
  EXPECT_EQ(block, ChipConfig());
}

TEST_F(Ch9329, WritingANewBaudRateAppliesItAtOnce) {
  Bytes block = ReadBlock();
  ASSERT_EQ(block.size(), 128u);
  block[0] = 0x5A;  // another byte of the page goes back as written
  block[6] = 0x00, block[7] = 0x01, block[8] = 0xC2, block[9] = 0x00;  // 115200
  ASSERT_TRUE(Set(Padded(WritePage(0, block), 65)));
  EXPECT_EQ(ChipConfig(), block);
  EXPECT_EQ(ReadBlock(), block);

  MeterSends(kFrame, 9600);
  const Bytes garbled = Read(1000);
  ASSERT_EQ(garbled.size(), 64u);
  EXPECT_NE(Bytes(garbled.begin() + 1, garbled.begin() + 8), kFrame);
  MeterSends(kFrame, 115200);
  EXPECT_EQ(Read(1000), Padded(Join({0x07}, kFrame), 64));
  ASSERT_TRUE(Write(Join({0x00, 0x07}, kFrame)));
  EXPECT_EQ(MeterGets(115200), kFrame);
}

class Ch9329BadSet : public Ch9329, public ::testing::WithParamInterface<std::function<Bytes(Bytes)>> {};

TEST_P(Ch9329BadSet, IsRefusedAndChangesNothing) {
  const Bytes before = ChipConfig();
  EXPECT_FALSE(Set(GetParam()(before)));
  EXPECT_EQ(ChipConfig(), before);
}

Bytes WithBaud(Bytes block, std::uint32_t baud) {
  ch9329wire::StoreBaud(block.data(), baud);
  return block;
}

INSTANTIATE_TEST_SUITE_P(
    Invalid, Ch9329BadSet,
    ::testing::Values([](Bytes) { return Bytes{0x00, 0x52, 0x04}; },                  // no page 4 to read
                      [](Bytes b) { return Join({0x00, 0x57, 0x04}, Bytes(b.begin(), b.begin() + 32)); },
                      [](Bytes b) { return WritePage(0, WithBaud(b, 0)); },
                      [](Bytes b) { return WritePage(0, WithBaud(b, 1199)); },
                      [](Bytes b) { return WritePage(0, WithBaud(b, 230400)); },
                      [](Bytes b) {  // a write one byte short
                        Bytes r = WritePage(0, b);
                        r.pop_back();
                        return r;
                      },
                      [](Bytes b) {  // not the zero report ID
                        Bytes r = WritePage(0, b);
                        r[0] = 0x01;
                        return r;
                      },
                      [](Bytes b) {  // an unknown command
                        Bytes r = WritePage(0, b);
                        r[1] = 0x41;
                        return r;
                      }));

TEST_F(Ch9329, TheConfigBlockSurvivesUnplugging) {
  Bytes block = ReadBlock();
  ASSERT_EQ(block.size(), 128u);
  block = WithBaud(block, 19200);
  ASSERT_TRUE(Set(WritePage(0, block)));
  Replug();
  EXPECT_EQ(ReadBlock(), block);
  MeterSends(kFrame, 19200);
  EXPECT_EQ(Read(1000), Padded(Join({0x07}, kFrame), 64));
}

}  // namespace
}  // namespace qm::sim
