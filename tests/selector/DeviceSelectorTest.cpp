#include "selector/uDeviceSelector.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/PumpUntil.h"
#include "devices/MainThread.h"
#include "devices/uEnumerator.h"
#include "selector/frmDeviceSelect.h"
#include "sim/SimHidBus.h"

namespace qm {
namespace {

using namespace std::chrono_literals;

// Answers the choice as a test scripts it, through the same lists the dialog keeps.
class ScriptedChooser : public IDeviceChooser {
 public:
  std::function<std::optional<std::string>(TDeviceSelectState&)> Answer = [](TDeviceSelectState&) {
    return std::nullopt;
  };
  int Calls = 0;
  bool ModelEnabled = false;
  TBridgeModel Model = bmCH9329;
  std::vector<std::string> FirstList;  // the device list as first shown

  std::optional<std::string> Choose(TDeviceSelector& Selector, bool modelEnabled, TBridgeModel model) override {
    ++Calls;
    TDeviceSelectState state(Selector, modelEnabled, model);
    ModelEnabled = state.ModelEnabled();
    Model = state.Model();
    FirstList = state.Devices();
    return Answer(state);
  }
};

class SelectorTest : public ::testing::Test {
 protected:
  sim::TSimHidBus bus;
  hid::TScopedPlatform scoped{bus};
  ScriptedChooser chooser;
  TDeviceSelector selector;
  std::vector<std::string> events;

  void SetUp() override {
    TMainThread::Instance().BindToCurrentThread();
    TMainThread::Instance().ProcessPending();
    selector.SetChooser(&chooser);
    selector.SetOnOpened([this](void*) { events.push_back("opened"); });
    selector.SetOnClosed([this](void*) { events.push_back("closed"); });
    selector.SetOnArrived([this](const THIDDeviceInfo& info) { events.push_back("arrived " + info.DevicePath); });
    selector.SetOnRemoved([this](const THIDDeviceInfo& info) { events.push_back("removed " + info.DevicePath); });
  }
  void TearDown() override {
    selector.Close();
    TMainThread::Instance().ProcessPending();
  }

  sim::TPluggedBridge Plug(TBridgeModel model) { return bus.PlugBridge(model); }
  // A plain HID interface with these identifiers and feature report length.
  sim::TSimDeviceId PlugGeneric(std::uint16_t vid, std::uint16_t pid, std::uint16_t featureLength,
                                const std::string& hardwareId = {}) {
    sim::TVirtualIdentity identity;
    identity.VID = vid;
    identity.PID = pid;
    identity.HardwareId = hardwareId;
    return bus.Plug(std::make_shared<sim::TGenericHidInterface>(identity, featureLength));
  }
  // Delivers the plug-and-play notifications posted so far.
  static void Deliver() { TMainThread::Instance().ProcessPending(); }
  static std::string Key(const std::string& path) { return TEnumerator::UpperCase(path); }
  static std::vector<std::string> Paths(const THIDDeviceList& list) {
    std::vector<std::string> out;
    for (const auto& info : list) out.push_back(info->DevicePath);
    return out;
  }
  // The bytes that reach the meter's end of the line within a generous time.
  static std::string MeterReceives(const sim::TPluggedBridge& bridge, std::size_t count) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      std::uint8_t buffer[64];
      const std::size_t n = bridge.Line->toMeter.Receive(buffer, sizeof buffer, 100ms, 9600);
      got.append(reinterpret_cast<const char*>(buffer), n);
    }
    return got;
  }
  bool WriteText(const std::string& text) {
    return selector.Write(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::int32_t>(text.size()));
  }
};

TEST_F(SelectorTest, StartsWithTheDefaults) {
  const TDeviceSelector fresh;
  EXPECT_EQ(fresh.Version(), "1.02");
  EXPECT_TRUE(fresh.AutoRead);
  EXPECT_EQ(fresh.CH9329VID, 0x1A86);
  EXPECT_EQ(fresh.CH9329PID, 0xE429);
  EXPECT_EQ(fresh.CP2110VID, 0x10C4);
  EXPECT_EQ(fresh.CP2110PID, 0xEA80);
  EXPECT_EQ(fresh.Baudrate, 9600u);
  EXPECT_EQ(fresh.ReadTimeout, 100u);
  EXPECT_EQ(fresh.WriteTimeout, 100u);
  EXPECT_FALSE(fresh.IsOpen());
}

TEST_F(SelectorTest, EnumeratesEachFamilyByItsOwnRule) {
  const auto ch9329 = Plug(bmCH9329);
  const auto cp2110 = Plug(bmCP2110);
  // The CH9329 family is recognised by its feature report length, whatever the identifiers.
  const auto other65 = PlugGeneric(0x1234, 0x5678, 65);
  PlugGeneric(0x1A86, 0xE429, 64);

  const THIDDeviceList chList = selector.EnumDevices(bmCH9329);
  EXPECT_EQ(Paths(chList), (std::vector<std::string>{Key(ch9329.Path), Key(bus.Entry(other65).Path)}));
  for (const auto& info : chList) EXPECT_EQ(info->Model, bmCH9329);

  const THIDDeviceList cpList = selector.EnumDevices(bmCP2110);
  EXPECT_EQ(Paths(cpList), (std::vector<std::string>{Key(cp2110.Path)}));
  EXPECT_EQ(cpList.at(0)->Model, bmCP2110);

  EXPECT_TRUE(selector.EnumDevices(static_cast<TBridgeModel>(2)).empty());
  // The identifiers are read at each enumeration.
  selector.CP2110PID = 0xEA81;
  EXPECT_TRUE(selector.EnumDevices(bmCP2110).empty());
}

TEST_F(SelectorTest, ABadHardwareIdReachesTheCaller) {
  PlugGeneric(0x10C4, 0xEA80, 64, "HID\\VID_10C4&PID_EAXX");
  try {
    selector.Open();
    FAIL() << "no conversion error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'$EAXX' is not a valid integer value");
  }
  EXPECT_FALSE(selector.IsOpen());
}

// How the scripted user answers.
enum class Answer { Cancel, First, Second, SwitchToCP2110, EmptyOK };

struct SelectionCase {
  const char* name;
  int ch9329s;
  int cp2110s;
  Answer answer;
  bool chooserShown;
  bool modelEnabled;
  TBridgeModel firstModel;
  int openedIndex;  // into the plugged bridges, CH9329s first; -1: nothing opens
};

class SelectionTest : public SelectorTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(SelectionTest, OpensTheOnlyBridgeOrTheChosenOne) {
  const SelectionCase& c = GetParam();
  std::vector<sim::TPluggedBridge> bridges;
  for (int i = 0; i < c.ch9329s; ++i) bridges.push_back(Plug(bmCH9329));
  for (int i = 0; i < c.cp2110s; ++i) bridges.push_back(Plug(bmCP2110));
  chooser.Answer = [&](TDeviceSelectState& state) -> std::optional<std::string> {
    switch (c.answer) {
      case Answer::Cancel:
        return std::nullopt;
      case Answer::First:
        break;
      case Answer::Second:
        state.SetDeviceIndex(1);
        break;
      case Answer::SwitchToCP2110:
        state.ChangeModel(bmCP2110);
        break;
      case Answer::EmptyOK:
        state.SetDeviceIndex(5);  // outside the list: nothing selected
        break;
    }
    return state.SelectedPath();
  };

  EXPECT_EQ(selector.Open(), c.openedIndex >= 0);

  EXPECT_EQ(chooser.Calls, c.chooserShown ? 1 : 0);
  if (c.chooserShown) {
    EXPECT_EQ(chooser.ModelEnabled, c.modelEnabled);
    EXPECT_EQ(chooser.Model, c.firstModel);
    EXPECT_EQ(chooser.FirstList, Paths(selector.EnumDevices(c.firstModel)));
  }
  EXPECT_EQ(selector.IsOpen(), c.openedIndex >= 0);
  EXPECT_EQ(events, c.openedIndex >= 0 ? std::vector<std::string>{"opened"} : std::vector<std::string>{});
  if (c.openedIndex >= 0) {
    ASSERT_TRUE(WriteText("hi"));
    EXPECT_EQ(MeterReceives(bridges[static_cast<std::size_t>(c.openedIndex)], 2), "hi");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionTest,
    ::testing::Values(SelectionCase{"None", 0, 0, Answer::First, false, false, bmCH9329, -1},
                      SelectionCase{"OneCH9329", 1, 0, Answer::First, false, false, bmCH9329, 0},
                      SelectionCase{"OneCP2110", 0, 1, Answer::First, false, false, bmCH9329, 0},
                      SelectionCase{"BothTakeCH9329", 1, 1, Answer::First, true, true, bmCH9329, 0},
                      SelectionCase{"BothSwitchToCP2110", 1, 1, Answer::SwitchToCP2110, true, true, bmCH9329, 1},
                      SelectionCase{"TwoCH9329TakeSecond", 2, 0, Answer::Second, true, false, bmCH9329, 1},
                      SelectionCase{"TwoCP2110TakeFirst", 0, 2, Answer::First, true, false, bmCP2110, 0},
                      SelectionCase{"TwoCP2110SwitchIgnored", 0, 2, Answer::SwitchToCP2110, true, false, bmCP2110, 0},
                      SelectionCase{"Cancelled", 1, 1, Answer::Cancel, true, true, bmCH9329, -1},
                      SelectionCase{"OKWithNothingSelected", 2, 0, Answer::EmptyOK, true, false, bmCH9329, -1}),
    [](const ::testing::TestParamInfo<SelectionCase>& param) { return std::string(param.param.name); });

TEST_F(SelectorTest, ADeviceThatAppearedDuringTheChoiceIsNotFound) {
  Plug(bmCH9329);
  Plug(bmCP2110);
  chooser.Answer = [&](TDeviceSelectState& state) -> std::optional<std::string> {
    const auto late = Plug(bmCH9329);
    state.ChangeModel(bmCP2110);
    state.ChangeModel(bmCH9329);  // a fresh enumeration lists the late one
    state.SetDeviceIndex(1);
    EXPECT_EQ(state.SelectedPath(), Key(late.Path));
    return state.SelectedPath();
  };
  EXPECT_FALSE(selector.Open());
  EXPECT_FALSE(selector.IsOpen());
  EXPECT_TRUE(events.empty());
}

TEST_F(SelectorTest, WithoutAChooserAChoiceEndsAsCancelled) {
  Plug(bmCH9329);
  Plug(bmCH9329);
  selector.SetChooser(nullptr);
  EXPECT_FALSE(selector.Open());
  EXPECT_FALSE(selector.IsOpen());
}

// Failures to open leave no device object: its plug-and-play events would otherwise still arrive.
TEST_F(SelectorTest, AFailedOpenLeavesNoDeviceObject) {
  struct Failure {
    const char* name;
    TBridgeModel model;
    std::uint32_t baudrate;
    std::function<void(sim::TSimHidBus&, const sim::TPluggedBridge&)> duringChoice;
  };
  const auto nothing = [](sim::TSimHidBus&, const sim::TPluggedBridge&) {};
  const std::vector<Failure> failures = {
      {"chosen CH9329 unplugged", bmCH9329, 9600, [](sim::TSimHidBus& b, const sim::TPluggedBridge& p) { b.Unplug(p.Id); }},
      {"chosen CP2110 held by another program", bmCP2110, 9600,
       [](sim::TSimHidBus&, const sim::TPluggedBridge& p) { p.Bridge->SetHeldExclusively(true); }},
      {"baud rate refused by the CP2110", bmCP2110, 5, nothing},
  };
  for (const Failure& f : failures) {
    SCOPED_TRACE(f.name);
    selector.Baudrate = f.baudrate;
    const auto first = Plug(f.model);
    const auto second = Plug(f.model);
    chooser.Answer = [&](TDeviceSelectState& state) -> std::optional<std::string> {
      f.duringChoice(bus, first);
      return state.SelectedPath();
    };
    Deliver();
    events.clear();

    EXPECT_FALSE(selector.Open());
    EXPECT_FALSE(selector.IsOpen());
    EXPECT_FALSE(WriteText("x"));
    bus.Unplug(first.Id);
    bus.Unplug(second.Id);
    Deliver();
    EXPECT_EQ(events, std::vector<std::string>{});
  }
}

TEST_F(SelectorTest, UnpluggingTheOpenDeviceDropsItUntilTheNextOpen) {
  const auto bridge = Plug(bmCH9329);
  ASSERT_TRUE(selector.Open());
  events.clear();

  bus.Unplug(bridge.Id);
  Deliver();
  EXPECT_EQ(events, (std::vector<std::string>{"closed", "removed " + Key(bridge.Path)}));
  EXPECT_FALSE(selector.IsOpen());
  EXPECT_FALSE(WriteText("x"));

  // Plugged in again, the next Open starts from a fresh device object.
  bus.Plug(bridge.Bridge);
  Deliver();
  events.clear();
  ASSERT_TRUE(selector.Open());
  EXPECT_EQ(events, (std::vector<std::string>{"opened"}));
  ASSERT_TRUE(WriteText("ok"));
  EXPECT_EQ(MeterReceives(bridge, 2), "ok");
}

TEST_F(SelectorTest, ClosingADroppedDeviceRaisesNothing) {
  const auto bridge = Plug(bmCP2110);
  ASSERT_TRUE(selector.Open());
  bus.Unplug(bridge.Id);
  Deliver();
  events.clear();
  selector.Close();
  selector.Close();
  EXPECT_TRUE(events.empty());
}

TEST_F(SelectorTest, CloseRaisesOnClosedOnceAndOnlyWhenOpen) {
  selector.Close();
  EXPECT_TRUE(events.empty());
  Plug(bmCP2110);
  ASSERT_TRUE(selector.Open());
  selector.Close();
  selector.Close();
  EXPECT_EQ(events, (std::vector<std::string>{"opened", "closed"}));
  EXPECT_FALSE(selector.IsOpen());
  EXPECT_FALSE(WriteText("x"));
}

TEST_F(SelectorTest, AClosedHandlerMayCloseAgain) {
  Plug(bmCH9329);
  selector.SetOnClosed([this](void*) {
    events.push_back("closed");
    selector.Close();
    events.push_back("closed again");  // the handler, owned by the device, must still exist here
  });
  ASSERT_TRUE(selector.Open());
  selector.Close();
  EXPECT_EQ(events, (std::vector<std::string>{"opened", "closed", "closed again"}));
}

TEST_F(SelectorTest, WriteNeedsAnOpenDevice) {
  EXPECT_FALSE(WriteText("x"));
  Plug(bmCP2110);
  ASSERT_TRUE(selector.Open());
  EXPECT_TRUE(WriteText("x"));
}

TEST_F(SelectorTest, SettingsChangedWhileOpenWaitForTheNextOpen) {
  const auto cp2110 = Plug(bmCP2110);
  ASSERT_TRUE(selector.Open());
  EXPECT_EQ(cp2110.Bridge->Baud(), 9600u);
  selector.Baudrate = 19200;
  selector.CP2110PID = 0x0001;
  ASSERT_TRUE(WriteText("same"));
  EXPECT_EQ(MeterReceives(cp2110, 4), "same");
  EXPECT_EQ(cp2110.Bridge->Baud(), 9600u);
  EXPECT_TRUE(selector.IsOpen());

  selector.Close();
  selector.CP2110PID = 0xEA80;
  ASSERT_TRUE(selector.Open());
  EXPECT_EQ(cp2110.Bridge->Baud(), 19200u);
}

TEST_F(SelectorTest, HandlersAreTakenWhenTheDeviceIsCreated) {
  const auto bridge = Plug(bmCH9329);
  std::string received;
  selector.SetOnReadyRead([&](const std::uint8_t* data, std::int32_t length) {
    EXPECT_TRUE(TMainThread::Instance().IsMainThread());
    received.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
  });
  ASSERT_TRUE(selector.Open());
  selector.SetOnClosed([this](void*) { events.push_back("new closed handler"); });

  const std::string meter = "\xAB\xCD\x23";
  bridge.Line->toHost.Send(reinterpret_cast<const std::uint8_t*>(meter.data()), meter.size(), 9600);
  ASSERT_TRUE(test::PumpUntil([&] { return received.size() >= meter.size(); }));
  EXPECT_EQ(received, meter);

  selector.Close();
  EXPECT_EQ(events, (std::vector<std::string>{"opened", "closed"}));
}

TEST_F(SelectorTest, WithoutAutoReadNothingIsDelivered) {
  const auto bridge = Plug(bmCP2110);
  int chunks = 0;
  selector.SetOnReadyRead([&](const std::uint8_t*, std::int32_t) { ++chunks; });
  selector.AutoRead = false;
  ASSERT_TRUE(selector.Open());
  Deliver();
  const std::uint8_t byte = 0x55;
  bridge.Line->toHost.Send(&byte, 1, 9600);
  // Nothing can be waited for here; a read thread would have delivered within a few read time-outs.
  const auto until = std::chrono::steady_clock::now() + 500ms;
  while (std::chrono::steady_clock::now() < until) TMainThread::Instance().WaitAndProcess(50ms);
  EXPECT_EQ(chunks, 0);
  EXPECT_EQ(bridge.Line->toHost.Pending(), 1u);
}

TEST_F(SelectorTest, PlugAndPlayEventsOfOtherBridgesLeaveTheOpenOneOpen) {
  const auto open = Plug(bmCH9329);
  ASSERT_TRUE(selector.Open());
  events.clear();

  const auto other = Plug(bmCH9329);
  Deliver();
  bus.Unplug(other.Id);
  Deliver();
  EXPECT_EQ(events, (std::vector<std::string>{"arrived " + Key(other.Path), "removed " + Key(other.Path)}));
  EXPECT_TRUE(selector.IsOpen());
  EXPECT_TRUE(WriteText("still"));
}

}  // namespace
}  // namespace qm
