// The main window against simulated meters: start-up state, connecting and live readings on the
// LCD panel, the device dialog, commands and their lock-out, the memory download, the watchdog,
// unplugging and quitting. Every box goes through the scripted prompt.
#include "app/gui/ufrmMain.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>

#include <functional>
#include <stdexcept>

#include "GuiRig.h"
#include "app/gui/GuiApplication.h"
#include "app/gui/FormDeviceSelect.h"
#include "app/gui/MainThreadPump.h"
#include "app/gui/lcd/LcdPanel.h"
#include "common/ScriptedPrompt.h"

namespace qm::gui {
namespace {

using namespace std::chrono_literals;
using test::SpinUntil;

const std::string kNoDevice = "No device found.  Please ensure that you have proper USB connection.";

// A prompt that can look at the world the moment a box is shown.
class TWatchingPrompt : public test::ScriptedPrompt {
 public:
  std::function<void(const std::string&)> onInformation;
  void Information(const std::string& text) override {
    ScriptedPrompt::Information(text);
    if (onInformation) onInformation(text);
  }
};

class MainWindowTest : public ::testing::Test {
 protected:
  void Make(TMainWindowOptions options = {}) {
    if (options.DecimalSeparator.empty()) options.DecimalSeparator = ".";
    window_ = std::make_unique<TfrmMain>(prompt_, options);
    window_->show();
  }
  template <typename T = QWidget>
  T* Find(const char* name) {
    auto* found = window_->findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QString Text(const char* name) {
    if (auto* edit = window_->findChild<QLineEdit*>(QLatin1String(name))) return edit->text();
    if (auto* label = window_->findChild<QLabel*>(QLatin1String(name))) return label->text();
    if (auto* button = window_->findChild<QPushButton*>(QLatin1String(name))) return button->text();
    ADD_FAILURE() << "no text control " << name;
    return {};
  }
  bool Shown(const char* name) { return !Find(name)->isHidden(); }
  bool Connected() { return window_->Session().IsOpen(); }
  void Connect() {
    Find<QPushButton>("btnConnect")->click();
    ASSERT_TRUE(Connected());
  }
  // Waits for the next live reading to reach the panel.
  bool NextReading() {
    int seen = 0;
    auto token = window_->Session().OnReadingDecoded.Add([&](TMeterSession::TReadingKind k) {
      if (k == TMeterSession::TReadingKind::Live) ++seen;
    });
    bool ok = SpinUntil([&] { return seen > 0; });
    window_->Session().OnReadingDecoded.Remove(token);
    return ok;
  }

  TWatchingPrompt prompt_;
  test::TSimRig rig_;
  std::unique_ptr<TfrmMain> window_;
};

TEST_F(MainWindowTest, StartsDisconnectedWithTheLayoutAndTextsOfTheMeter) {
  Make();
  EXPECT_EQ(window_->windowTitle(), "QM-7310P Interface Program Version:1.05");
  EXPECT_EQ(window_->size(), QSize(1076, 700));
  EXPECT_FALSE(Find("pnlCommand")->isEnabled());
  EXPECT_FALSE(Shown("lcdUSB"));
  EXPECT_EQ(Text("btnConnect"), "USB Connection");
  EXPECT_FALSE(Find<QPushButton>("btnConnect")->isChecked());
  EXPECT_EQ(Text("btnHideCmd"), "-->");
  EXPECT_EQ(Text("btnExit"), "Quit");
  EXPECT_EQ(Text("btnPause"), "Log Data Mode Enabled");
  EXPECT_EQ(Text("lcdDisplay0"), "999");
  EXPECT_EQ(Text("lcdDisplay1"), "-9999");
  EXPECT_EQ(Text("lcdTrueRMS"), "TrueRMS");
  EXPECT_FALSE(Shown("pnlLoadLog"));
  EXPECT_FALSE(window_->Session().Watchdog().Enabled());

  // Regions and their fixed sizes.
  EXPECT_EQ(Find("Panel5")->height(), 33);
  EXPECT_EQ(Find("pnlCommand")->width(), 117);
  EXPECT_EQ(Find("Panel2")->width(), 444);
  EXPECT_EQ(Find("pnlLcd")->size(), QSize(444, 241));
  EXPECT_EQ(Find("pnlSetComp")->height(), 97);
  EXPECT_EQ(Find<QPushButton>("btnPause")->width(), 143);
  for (const char* name : {"Panel1", "Splitter1", "Panel4", "pnlGridParent", "pnlPause", "DBGrid1", "pnlChartHome",
                           "pnlChartParent", "Chart1"})
    Find(name);
  EXPECT_EQ(Find<QTimer>("Timer_cmddelay")->interval(), 500);
  EXPECT_EQ(Find<QTimer>("timerDisconectedUSB")->interval(), 10000);
  EXPECT_FALSE(Find<QTimer>("timerDisconectedUSB")->isActive());

  // The "Record" menu with its limits, "10000" checked.
  auto* record = Find<QMenu>("mniRecord1");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->title(), "Record");
  QStringList items;
  for (QAction* a : record->actions()) items << (a->isSeparator() ? "-" : a->text() + (a->isChecked() ? "*" : ""));
  EXPECT_EQ(items, QStringList({"Clear", "Save", "-", "1000", "5000", "10000*", "50000", "100000", "Unlimited"}));
}

TEST_F(MainWindowTest, CommandButtonsCarryTheirCodesAndPlaces) {
  Make();
  struct Case {
    const char* name;
    int top, code;
  } cases[] = {{"btnCmdMenu", 8, 67},          {"btnCmdHold", 200, 66},         {"SpeedButton1", 224, 194},
               {"btnCmdSaveData", 264, 72},    {"btnCmdClearMem", 376, 199},    {"btnExportData", 400, 87},
               {"btnCmdExitStatus", 176, 203}, {"btnCmdFreqMode", 480, 0}};
  for (const auto& c : cases) {
    auto* b = Find<QPushButton>(c.name);
    EXPECT_EQ(b->geometry(), QRect(9, c.top, 99, 25)) << c.name;
    EXPECT_EQ(b->property("tag").toInt(), c.code) << c.name;
  }
  EXPECT_EQ(Find<QPushButton>("btnCmdLight")->text(), "Back Light");
  EXPECT_EQ(Find<QPushButton>("SpeedButton1")->text(), "Back Light");
  EXPECT_EQ(Find<QAction>("miCmdAutoPower20")->property("tag").toInt(), 78);
  EXPECT_EQ(Find<QAction>("miFreqMode60")->text(), "60Hz");
}

TEST_F(MainWindowTest, HideButtonTogglesTheCommandPanel) {
  Make();
  auto* hide = Find<QPushButton>("btnHideCmd");
  hide->click();
  EXPECT_TRUE(Find("pnlCommand")->isHidden());
  EXPECT_EQ(hide->text(), "<--");
  hide->click();
  EXPECT_FALSE(Find("pnlCommand")->isHidden());
  EXPECT_EQ(hide->text(), "-->");
}

TEST_F(MainWindowTest, NoBridgeReleasesTheButtonAndSaysSo) {
  Make();
  auto* connect = Find<QPushButton>("btnConnect");
  connect->click();
  EXPECT_FALSE(connect->isChecked());
  EXPECT_EQ(connect->text(), "USB Connection");
  EXPECT_EQ(prompt_.Texts("information"), std::vector<std::string>{kNoDevice});
}

TEST_F(MainWindowTest, ConnectingShowsLiveReadingsUnitsAndAnnunciators) {
  rig_.Add(bmCP2110);
  Make();
  Connect();
  EXPECT_TRUE(Find<QPushButton>("btnConnect")->isChecked());
  EXPECT_EQ(Text("btnConnect"), "USB Disconnect");
  EXPECT_TRUE(Shown("lcdUSB"));
  EXPECT_TRUE(Find("pnlCommand")->isEnabled());
  EXPECT_TRUE(Find<QTimer>("timerDisconectedUSB")->isActive());

  ASSERT_TRUE(NextReading());
  ASSERT_TRUE(NextReading());
  const MeterReading& r = window_->Session().Protocol().Reading();
  EXPECT_EQ(Text("lcdDisplay1").toStdString(), r.Value);
  EXPECT_EQ(Text("lcdDisplay2").toStdString(), r.SubValue1);
  EXPECT_EQ(Text("lcdUnit").toStdString(), r.Unit);
  EXPECT_FALSE(r.Unit.empty());
  EXPECT_TRUE(Shown("lcdAC"));  // power function: AC main value
  EXPECT_GE(window_->Session().Log().Count(), 2u);
  EXPECT_NE(Shown("CONok"), Shown("CONokN"));

  // Pressed again: closed, and the panel keeps what it showed.
  Find<QPushButton>("btnConnect")->click();
  QString value = Text("lcdDisplay1");
  test::Spin(100);
  EXPECT_FALSE(Connected());
  EXPECT_EQ(Text("btnConnect"), "USB Connection");
  EXPECT_FALSE(Shown("lcdUSB"));
  EXPECT_FALSE(Find("pnlCommand")->isEnabled());
  EXPECT_FALSE(Find("pnlSetComp")->isEnabled());
  EXPECT_FALSE(Find<QTimer>("timerDisconectedUSB")->isActive());
  EXPECT_EQ(Text("lcdDisplay1"), value);
  EXPECT_TRUE(prompt_.shown.empty());

  Connect();  // connecting enables the limits panel again
  EXPECT_TRUE(Find("pnlSetComp")->isEnabled());
}

TEST_F(MainWindowTest, ThePhaseAngleUnitShowsAsItsCodePageCharacter) {
  Make();
  window_->Session().Protocol().SetUnitText("\xA1\xA3");
  EXPECT_EQ(Text("lcdUnit"), QString(QChar(0x3002)));
}

TEST_F(MainWindowTest, DialogChoosesAmongBridgesAndCancelMeansNoDevice) {
  rig_.Add(bmCH9329);
  std::size_t cp = rig_.Add(bmCP2110);
  Make();
  int shown = 0;
  window_->DialogChooser().RunModal = [&](TFormDeviceSelect& dialog) {
    ++shown;
    auto* model = dialog.findChild<QComboBox*>("cbbModel");
    auto* devs = dialog.findChild<QComboBox*>("cbbDevs");
    EXPECT_TRUE(model->isEnabled());
    EXPECT_EQ(model->currentText(), "CH9329");
    EXPECT_EQ(devs->count(), 1);
    model->setCurrentIndex(1);
    dialog.cbbModelChange();
    EXPECT_EQ(devs->currentText(), QString::fromStdString(rig_.Path(cp)).toUpper());
    dialog.btnOKClick();
    return dialog.result();
  };
  Connect();
  EXPECT_EQ(shown, 1);
  ASSERT_TRUE(NextReading());

  Find<QPushButton>("btnConnect")->click();  // close
  window_->DialogChooser().RunModal = [](TFormDeviceSelect&) { return int(QDialog::Rejected); };
  Find<QPushButton>("btnConnect")->click();
  EXPECT_FALSE(Connected());
  EXPECT_FALSE(Find<QPushButton>("btnConnect")->isChecked());
  EXPECT_EQ(prompt_.Texts("information"), std::vector<std::string>{kNoDevice});
}

TEST_F(MainWindowTest, DialogWithOneFamilyKeepsTheChipListDisabledAndStretchesTheDeviceList) {
  rig_.Add(bmCP2110);
  rig_.Add(bmCP2110);
  Make();
  TFormDeviceSelect dialog(window_->Selector(), false, bmCP2110, window_.get());
  auto* model = dialog.findChild<QComboBox*>("cbbModel");
  auto* devs = dialog.findChild<QComboBox*>("cbbDevs");
  EXPECT_EQ(dialog.windowTitle(), "Device List");
  EXPECT_FALSE(model->isEnabled());
  EXPECT_EQ(model->currentText(), "CP2110");
  EXPECT_EQ(devs->count(), 2);
  EXPECT_EQ(devs->currentIndex(), 0);
  EXPECT_EQ(dialog.findChild<QLabel*>("lbl2")->text(), "Devies:");

  dialog.show();
  dialog.resize(437, 134);
  SpinUntil([&] { return dialog.width() == 437; });
  int narrow = devs->width();
  auto* ok = dialog.findChild<QPushButton*>("btnOK");
  auto* cancel = dialog.findChild<QPushButton*>("btnCancel");
  dialog.resize(700, 134);
  SpinUntil([&] { return dialog.width() == 700; });
  EXPECT_GT(devs->width(), narrow);
  EXPECT_EQ(cancel->size(), QSize(75, 25));
  EXPECT_LT(ok->x(), cancel->x());
  EXPECT_GE(cancel->mapTo(&dialog, QPoint(cancel->width(), 0)).x(), 700 - 16);  // at the right edge

  dialog.btnOKClick();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.SelectedPath.empty());
}

TEST_F(MainWindowTest, HoldReachesTheMeterAndASecondClickWithinTheLockoutSendsNothing) {
  std::size_t m = rig_.Add(bmCP2110);
  Make();
  Connect();
  auto* hold = Find<QPushButton>("btnCmdHold");
  hold->click();
  EXPECT_FALSE(Find("pnlCommand")->isEnabled());
  hold->click();  // meets a disabled panel
  Find<QPushButton>("btnCmdUp")->click();
  EXPECT_TRUE(SpinUntil([&] { return Shown("lcdHold"); }));
  EXPECT_EQ(rig_.Commands(m), std::vector<std::uint8_t>{66});
  EXPECT_TRUE(SpinUntil([&] { return Find("pnlCommand")->isEnabled(); }));
}

TEST_F(MainWindowTest, APopupItemSendsItsCodeAndLocksThePanel) {
  std::size_t m = rig_.Add(bmCP2110);
  Make({.DecimalSeparator = ".", .CommandLockout = 100ms});
  Connect();
  Find<QPushButton>("btnCmdAutoPower")->click();  // opens the menu only
  auto* menu = Find<QMenu>("pmAutoPower");
  EXPECT_TRUE(SpinUntil([&] { return menu->isVisible(); }));
  EXPECT_TRUE(Find("pnlCommand")->isEnabled());
  menu->close();  // dismissed: nothing sent, nothing locked
  EXPECT_TRUE(Find("pnlCommand")->isEnabled());
  Find<QAction>("miCmdAutoPower20")->trigger();
  EXPECT_FALSE(Find("pnlCommand")->isEnabled());
  EXPECT_TRUE(SpinUntil([&] { return !rig_.Commands(m).empty(); }));
  EXPECT_EQ(rig_.Commands(m), std::vector<std::uint8_t>{78});
  EXPECT_TRUE(SpinUntil([&] { return Find("pnlCommand")->isEnabled(); }));
}

TEST_F(MainWindowTest, ALinkClosedDuringTheLockoutLeavesThePanelDisabled) {
  rig_.Add(bmCP2110);
  Make({.DecimalSeparator = ".", .CommandLockout = 50ms});
  Connect();
  Find<QPushButton>("btnCmdSelect")->click();
  Find<QPushButton>("btnConnect")->click();
  test::Spin(150);
  EXPECT_FALSE(Find<QTimer>("Timer_cmddelay")->isActive());
  EXPECT_FALSE(Find("pnlCommand")->isEnabled());
}

TEST_F(MainWindowTest, DownloadShowsTheCurtainAndAcknowledgesTheEndOnlyAfterTheBox) {
  std::size_t m = rig_.Add(bmCP2110);
  Make();
  Connect();
  ASSERT_TRUE(NextReading());

  prompt_.confirmAnswers = {false, true};
  Find<QPushButton>("btnExportData")->click();  // No: nothing sent
  EXPECT_TRUE(Find("pnlCommand")->isEnabled());
  test::Spin(100);
  EXPECT_TRUE(rig_.Commands(m).empty());

  std::size_t records = rig_.Meter(m, [](sim::TSimMeter& meter) { return meter.Memory().size(); });
  int acksWhenBoxShown = -1;
  bool curtainWhenBoxShown = false;
  prompt_.onInformation = [&](const std::string&) {
    test::Spin(150);  // the meter has time to take an early acknowledgement, were one sent
    auto codes = rig_.Commands(m);
    acksWhenBoxShown = static_cast<int>(std::count(codes.begin(), codes.end(), 88));
    curtainWhenBoxShown = Shown("pnlLoadLog") && Shown("Panel3") && Shown("Panel7");
  };
  std::size_t before = window_->Session().Log().Count();
  Find<QPushButton>("btnExportData")->click();
  EXPECT_FALSE(Find("pnlCommand")->isEnabled());
  EXPECT_EQ(prompt_.Texts("confirm").back(), "Are you sure that you want to export memory data?");
  ASSERT_TRUE(SpinUntil([&] { return !prompt_.Texts("information").empty(); }));

  EXPECT_EQ(prompt_.Texts("information"), std::vector<std::string>{"Export memory data has been successfully!"});
  EXPECT_EQ(acksWhenBoxShown, static_cast<int>(records));  // every record's, not yet the end marker's
  EXPECT_TRUE(curtainWhenBoxShown);
  EXPECT_TRUE(SpinUntil([&] {
    auto codes = rig_.Commands(m);
    return std::count(codes.begin(), codes.end(), 88) == static_cast<long>(records) + 1;
  }));
  std::size_t memoryRows = 0;  // memory records carry no time stamp
  for (std::size_t r = before; r < window_->Session().Log().Count(); ++r)
    memoryRows += window_->Session().Log().Record(r).ATime.value_or("").empty();
  EXPECT_EQ(memoryRows, records);
  EXPECT_EQ(Text("pnlLoadLog"), "Data transfer completed");
  EXPECT_EQ(Text("lblLoading"), "");
  EXPECT_TRUE(Find("pnlCommand")->isEnabled());
  auto* pause = Find<QPushButton>("btnPause");
  EXPECT_TRUE(pause->isChecked());
  EXPECT_EQ(pause->text(), "Log Data Mode Disabled");
  EXPECT_EQ(pause->palette().color(QPalette::ButtonText), QColor(Qt::red));
  EXPECT_TRUE(window_->Session().Protocol().LogMode());

  // Live frames keep coming but add no rows while in log mode.
  std::size_t rows = window_->Session().Log().Count();
  test::Spin(200);
  EXPECT_EQ(window_->Session().Log().Count(), rows);

  pause->click();  // released by the user: live again
  EXPECT_FALSE(window_->Session().Protocol().LogMode());
  EXPECT_FALSE(Shown("pnlLoadLog"));
  EXPECT_FALSE(Shown("Panel3"));
  EXPECT_FALSE(Shown("Panel7"));
  EXPECT_EQ(pause->text(), "Log Data Mode Enabled");
  EXPECT_NE(pause->palette().color(QPalette::ButtonText), QColor(Qt::red));
  EXPECT_TRUE(SpinUntil([&] { return window_->Session().Log().Count() > rows; }));
}

TEST_F(MainWindowTest, PressingPauseByHandFreezesTheLogWithoutACurtain) {
  rig_.Add(bmCP2110);
  Make();
  Connect();
  ASSERT_TRUE(NextReading());
  auto* pause = Find<QPushButton>("btnPause");
  pause->click();
  EXPECT_TRUE(window_->Session().Protocol().LogMode());
  EXPECT_EQ(pause->text(), "Log Data Mode Disabled");
  EXPECT_FALSE(Shown("pnlLoadLog"));
  std::size_t rows = window_->Session().Log().Count();
  ASSERT_TRUE(SpinUntil([&] { return window_->Session().Protocol().ActivityOn() != Shown("CONokN"); }));
  test::Spin(200);
  EXPECT_EQ(window_->Session().Log().Count(), rows);
}

TEST_F(MainWindowTest, ASilentLinkEndsInTheWatchdogBox) {
  std::size_t m = rig_.Add(bmCP2110);
  Make({.DecimalSeparator = ".", .WatchdogInterval = 300ms});
  Connect();
  ASSERT_TRUE(NextReading());
  test::Spin(500);  // readings keep the watchdog quiet
  EXPECT_TRUE(Connected());
  rig_.Meter(m, [](sim::TSimMeter& meter) { meter.Silence(60000); });
  ASSERT_TRUE(SpinUntil([&] { return !Connected(); }));
  EXPECT_EQ(prompt_.Texts("information"),
            std::vector<std::string>{"USB interface cable is not connected properly, please check and re-try."});
  EXPECT_EQ(Text("btnConnect"), "USB Connection");
  EXPECT_FALSE(Find("pnlCommand")->isEnabled());
  EXPECT_FALSE(Find<QTimer>("timerDisconectedUSB")->isActive());
}

TEST_F(MainWindowTest, UnpluggingClosesTheLinkSilently) {
  std::size_t m = rig_.Add(bmCP2110);
  Make();
  Connect();
  ASSERT_TRUE(NextReading());
  ASSERT_TRUE(rig_.Unplug(m));
  ASSERT_TRUE(SpinUntil([&] { return !Connected(); }));
  EXPECT_EQ(Text("btnConnect"), "USB Connection");
  EXPECT_FALSE(Shown("lcdUSB"));
  EXPECT_TRUE(prompt_.shown.empty());
}

TEST_F(MainWindowTest, QuittingWhileConnectedClosesTheLinkFirst) {
  rig_.Add(bmCP2110);
  Make();
  Connect();
  ASSERT_TRUE(NextReading());
  int closed = 0;
  bool buttonReleased = false;
  TfrmMain* window = window_.get();
  window_->Session().OnDisconnected.Add([&] {
    ++closed;
    auto* b = window->findChild<QPushButton*>("btnConnect");
    buttonReleased = b && !b->isChecked();
  });
  Find<QPushButton>("btnExit")->click();
  EXPECT_FALSE(window_->isVisible());
  window_.reset();
  EXPECT_EQ(closed, 1);
  EXPECT_TRUE(buttonReleased);  // the window still had its controls
}

class TThrowingChooser : public IDeviceChooser {
 public:
  std::optional<std::string> Choose(TDeviceSelector&, bool, TBridgeModel) override {
    throw std::runtime_error("the chooser broke");
  }
};

TEST_F(MainWindowTest, AFailingHandlerReachesTheErrorReportAndTheWindowGoesOn) {
  rig_.Add(bmCP2110);
  rig_.Add(bmCP2110);
  Make();
  TThrowingChooser chooser;
  window_->SetChooser(&chooser);
  Find<QPushButton>("btnConnect")->click();
  EXPECT_EQ(prompt_.Texts("error"), std::vector<std::string>{"the chooser broke"});
  EXPECT_FALSE(Connected());
  EXPECT_FALSE(Find<QPushButton>("btnConnect")->isChecked());
  window_->SetChooser(nullptr);  // the dialog again
  window_->DialogChooser().RunModal = [](TFormDeviceSelect& dialog) {
    dialog.btnOKClick();
    return dialog.result();
  };
  Connect();
  EXPECT_TRUE(NextReading());
}

// The start looks at the command line before Qt does, for --help and --version, so the parser has
// to take --version among the other options and still reject what it does not know.
TEST(GuiOptionsTest, VersionStandsBesideTheOtherOptions) {
  struct TCase {
    QStringList args;
    bool parsed;
    bool version;
  };
  const TCase cases[] = {
      {{"qm7310p", "--version"}, true, true},
      {{"qm7310p", "--demo", "--version", "--period", "40"}, true, true},
      {{"qm7310p", "--demo"}, true, false},
      {{"qm7310p", "--version=2"}, false, false},
      {{"qm7310p", "--version", "--bogus"}, false, false},
  };
  for (const TCase& c : cases) {
    QString error;
    auto options = ParseGuiOptions(c.args, error);
    const std::string line = c.args.join(' ').toStdString();
    ASSERT_EQ(options.has_value(), c.parsed) << line;
    if (options) {
      EXPECT_EQ(options->version, c.version) << line;
    } else {
      EXPECT_FALSE(error.isEmpty()) << line;
    }
  }
}

}  // namespace
}  // namespace qm::gui
