// The window's recording side: the limits panel judging live readings, the sampling controls,
// the record-limit menu, log files through the (scripted) dialogs, and the zoom window.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <fstream>

#include "GuiRig.h"
#include "app/gui/LimitsPanel.h"
#include "app/gui/grid/LogGrid.h"
#include "app/gui/report/PrintPreview.h"
#include "app/gui/ufrmMain.h"
#include "app/gui/uMySuper.h"
#include "common/ScriptedPrompt.h"
#include "recording/LogFiles.h"

namespace qm::gui {
namespace {

using namespace std::chrono_literals;
using test::SpinUntil;

// A typed character that QTest's key tables do not know.
void TypeBeyondAscii(QWidget* widget, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
  QCoreApplication::sendEvent(widget, &press);
}

class RecordingWindowTest : public ::testing::Test {
 protected:
  void Make(std::string separator = ".") {
    window_ = std::make_unique<TfrmMain>(prompt_, TMainWindowOptions{.DecimalSeparator = separator, .InputDelay = 50ms});
    window_->show();
  }
  template <typename T = QWidget>
  T* Find(const char* name) {
    auto* found = window_->findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  // One live reading straight into the session, as a chunk would bring it.
  void Live(sim::TSimMeter& meter) {
    for (const auto& c : meter.Produce(500))
      window_->Session().ReceiveData(c.bytes.data(), static_cast<std::int32_t>(c.bytes.size()));
  }
  std::string Temp(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() / ("qm-gui-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
  }

  test::ScriptedPrompt prompt_;
  std::unique_ptr<TfrmMain> window_;
};

TEST_F(RecordingWindowTest, LimitsPanelJudgesLiveReadingsAndChecksItsEdits) {
  Make();
  auto* high = Find<QLineEdit>("edtCompHigh");
  auto* low = Find<QLineEdit>("edtCompLow");
  auto* value = Find<QLineEdit>("edtCurValue");
  auto* pass = Find<QLabel>("lblPass");
  auto* disc = Find<TShapeDisc>("Shape1");
  EXPECT_EQ(high->text(), "1000");
  EXPECT_EQ(low->text(), "-1000");
  EXPECT_EQ(value->text(), "0");
  EXPECT_EQ(pass->text(), "PASS");
  EXPECT_EQ(disc->geometry(), QRect(248, 8, 97, 73));
  EXPECT_EQ(Find("pnlSetComp")->height(), 97);

  auto judge = [&](double v) {
    window_->Session().Comparator().CheckLimits(v);
    return pass->text();
  };
  EXPECT_EQ(judge(1000), "Pass");
  EXPECT_EQ(disc->BrushColor(), QColor(0, 128, 0));
  EXPECT_EQ(judge(-1000), "Pass");
  EXPECT_EQ(judge(1000.001), "Fail");
  EXPECT_EQ(disc->BrushColor(), QColor(255, 0, 0));
  EXPECT_EQ(value->text(), "1000.001");

  // Typing: letters are discarded, an emptied edit becomes a selected "0", a lone sign stands.
  high->setFocus();
  high->selectAll();
  QTest::keyClicks(high, "5x");
  TypeBeyondAscii(high, QString::fromUtf8("\u00e9"));  // letters, ASCII or not, are discarded
  EXPECT_EQ(high->text(), "5");
  high->clear();
  EXPECT_EQ(high->text(), "0");
  EXPECT_EQ(high->selectedText(), "0");
  QTest::keyClicks(high, "-");
  EXPECT_EQ(high->text(), "-");
  QTest::keyClicks(high, "3");
  EXPECT_EQ(window_->Session().Comparator().HighText(), "-3");
  low->setText("abc");  // a paste that is no number
  EXPECT_EQ(low->text(), "0");
  EXPECT_EQ(pass->text(), "Fail");  // not judged again until the next reading
  EXPECT_EQ(judge(-5), "Fail");     // low 0 above high -3: everything fails
}

TEST_F(RecordingWindowTest, ACommaLocaleKeyFilterTakesTheCommaOnly) {
  Make(",");
  auto* high = Find<QLineEdit>("edtCompHigh");
  high->setFocus();
  high->selectAll();
  QTest::keyClicks(high, "12.5");
  EXPECT_EQ(high->text(), "125");
  high->selectAll();
  QTest::keyClicks(high, "12,5");
  EXPECT_EQ(high->text(), "12,5");
}

TEST_F(RecordingWindowTest, SamplingAppendsOnePerPeriodAndNotInLogMode) {
  Make();
  sim::TSimMeter meter;
  auto* interval = Find<QLineEdit>("edtRecInterval");
  EXPECT_EQ(interval->text(), "1");
  auto* timer = Find<QTimer>("timerInterval");
  EXPECT_EQ(timer->interval(), 1000);
  EXPECT_FALSE(timer->isActive());

  interval->setFocus();
  interval->selectAll();
  QTest::keyClicks(interval, "x");
  TypeBeyondAscii(interval, QString::fromUtf8("\u00b2"));  // a superscript two is no digit either
  QTest::keyClicks(interval, "2");
  EXPECT_EQ(interval->text(), "2");
  ASSERT_TRUE(SpinUntil([&] { return timer->interval() == 2000; }));
  EXPECT_EQ(window_->Session().Sampling().Seconds(), 2);

  interval->setText("0");
  ASSERT_TRUE(SpinUntil([&] { return !prompt_.Texts("information").empty(); }));
  EXPECT_EQ(prompt_.Texts("information"), std::vector<std::string>{"You have entered a number that is out of range."});
  ASSERT_TRUE(SpinUntil([&] { return interval->text() == "2"; }));

  Find<QCheckBox>("cbInterval")->click();
  EXPECT_TRUE(timer->isActive());
  Live(meter);
  EXPECT_EQ(window_->Session().Log().Count(), 0u);  // the timer feeds the log now
  window_->timerIntervalTimer();  // a tick
  EXPECT_EQ(window_->Session().Log().Count(), 1u);
  Find<QPushButton>("btnPause")->click();
  window_->timerIntervalTimer();  // a tick
  EXPECT_EQ(window_->Session().Log().Count(), 1u);
  Find<QPushButton>("btnPause")->click();
  Find<QCheckBox>("cbInterval")->click();
  EXPECT_FALSE(timer->isActive());
  Live(meter);
  EXPECT_EQ(window_->Session().Log().Count(), 2u);
}

TEST_F(RecordingWindowTest, RecordLimitMenuStopsAppendsWithoutRemoving) {
  Make();
  sim::TSimMeter meter;
  for (int i = 0; i < 3; ++i) Live(meter);
  auto* record = Find<QMenu>("mniRecord1");
  Find<QAction>("mniN10001")->trigger();
  int checked = 0;
  for (QAction* a : record->actions()) checked += a->isChecked();
  EXPECT_EQ(checked, 1);
  EXPECT_TRUE(Find<QAction>("mniN10001")->isChecked());
  EXPECT_EQ(window_->Session().Recorder().RecordLimit(), 1000);
  Find<QAction>("mnilimitess")->trigger();
  EXPECT_EQ(window_->Session().Recorder().RecordLimit(), 9999999);

  prompt_.confirmAnswers = {false, true};
  Find<QToolButton>("btnRecordNew")->click();
  EXPECT_EQ(window_->Session().Log().Count(), 3u);
  Find<QAction>("mniNew1")->trigger();
  EXPECT_EQ(window_->Session().Log().Count(), 0u);
  EXPECT_EQ(prompt_.Texts("confirm"), std::vector<std::string>(2, "Are you sure that you want to delete this record?"));
}

TEST_F(RecordingWindowTest, FilesGoThroughTheDialogsWithTheirMessages) {
  Make();
  sim::TSimMeter meter;
  for (int i = 0; i < 4; ++i) Live(meter);
  const std::string xml = Temp("log.xml"), text = Temp("log");
  prompt_.fileAnswers = {xml, text, std::nullopt};
  Find<QToolButton>("btnRecordSave")->click();
  Find<QAction>("mniSave1")->trigger();
  Find<QToolButton>("btnRecordSave")->click();  // cancelled
  EXPECT_EQ(prompt_.Texts("save"), std::vector<std::string>(3, std::string(kSaveLogFilter)));
  EXPECT_EQ(prompt_.lastDefaultExt, "xls");
  EXPECT_EQ(prompt_.Texts("message"), std::vector<std::string>{"Save table to specified file: " + xml + " Scuss!"});
  EXPECT_EQ(prompt_.Texts("information"),
            std::vector<std::string>{"Save table to specified file: " + text + ".xls Scuss!"});

  int resets = 0;
  window_->Session().Log().OnReset.Add([&] { ++resets; });
  prompt_.fileAnswers = {text + ".xls", xml, Temp("missing.xls")};
  Find<QToolButton>("btnRecordOpen")->click();  // a text file appends
  EXPECT_EQ(window_->Session().Log().Count(), 8u);
  Find<QToolButton>("btnRecordOpen")->click();  // a data packet replaces
  EXPECT_EQ(window_->Session().Log().Count(), 4u);
  EXPECT_EQ(resets, 2);
  Find<QToolButton>("btnRecordOpen")->click();
  EXPECT_EQ(prompt_.Texts("information").back(), "Failed to Load File!");
  EXPECT_EQ(window_->Session().Log().Count(), 4u);
  EXPECT_EQ(prompt_.Texts("open"), std::vector<std::string>(3, std::string(kOpenLogFilter)));
}

TEST_F(RecordingWindowTest, ZoomWindowsTakeThePanelsAndGiveThemBack) {
  Make();
  QWidget* grid = Find("pnlGridParent");
  QWidget* chart = Find("pnlChartParent");
  QWidget* gridHome = grid->parentWidget();
  QWidget* chartHome = chart->parentWidget();
  auto* logGrid = Find<TLogGrid>("DBGrid1");
  std::vector<int> before = logGrid->ColumnWidths();
  before[0] = 77;  // the user widened a column before zooming
  logGrid->SetColumnWidths(before);
  std::vector<int> zoomedWidths;
  int shown = 0;
  TfrmSuperContainer::RunModal = [&](TfrmSuperContainer& w) {
    ++shown;
    if (shown == 1) {
      zoomedWidths = logGrid->ColumnWidths();
      logGrid->SetColumnWidths({99});  // changed while zoomed: lost afterwards
    }
    EXPECT_EQ(TfrmSuperContainer::Current(), &w);
    EXPECT_TRUE(w.Panel1->isAncestorOf(shown == 1 ? grid : chart));
    if (shown == 1) {
      EXPECT_TRUE(w.findChild<QToolButton*>("btnGridZoomout")->isVisibleTo(&w));
      w.findChild<QToolButton*>("btnGridZoomout")->click();  // closes the zoom window
    } else {
      ShowPanelZoomed(grid, gridHome);  // a second zoom while one is open does nothing
      EXPECT_TRUE(w.Panel1->isAncestorOf(chart));
      w.close();
    }
    return 0;
  };
  Find<QToolButton>("btnRecordFly")->click();
  EXPECT_EQ(grid->parentWidget(), gridHome);
  EXPECT_EQ(zoomedWidths, (std::vector<int>{60, 150, 60, 60, 60, 120, 120, 80, 80}));
  EXPECT_EQ(logGrid->ColumnWidths(), before);
  EXPECT_FALSE(Find<QToolButton>("btnRecordFly")->isHidden());
  EXPECT_TRUE(Find<QToolButton>("btnGridZoomout")->isHidden());
  window_->btnFlyClick();
  EXPECT_EQ(chart->parentWidget(), chartHome);
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(TfrmSuperContainer::Current(), nullptr);
  // Back in place: the grid below the LCD panel, the chart below the limits.
  EXPECT_GT(grid->geometry().top(), Find("pnlLcd")->geometry().top());
  TfrmSuperContainer::RunModal = [](TfrmSuperContainer& w) {
    w.showMaximized();
    return w.exec();
  };
}

TEST_F(RecordingWindowTest, ThePrintPreviewSuspendsTheWatchdogAndRestartsItOnlyIfItRan) {
  test::TSimRig rig;
  rig.Add(bmCP2110);
  Make();
  auto* watchdog = Find<QTimer>("timerDisconectedUSB");
  int previews = 0;
  bool quietWhileOpen = false;
  window_->PrintRunner = [&](TfrmPrintPreview& preview) {
    ++previews;
    quietWhileOpen = !watchdog->isActive();
    EXPECT_EQ(preview.windowTitle(), "Print Preview");
  };
  Find<QToolButton>("btnRecordPrint")->click();  // not connected: stays stopped
  EXPECT_FALSE(watchdog->isActive());
  Find<QPushButton>("btnConnect")->click();
  ASSERT_TRUE(window_->Session().IsOpen());
  ASSERT_TRUE(watchdog->isActive());
  Find<QToolButton>("btnRecordPrint")->click();
  EXPECT_EQ(previews, 2);
  EXPECT_TRUE(quietWhileOpen);
  EXPECT_TRUE(watchdog->isActive());
  Find<QPushButton>("btnConnect")->click();
}

TEST_F(RecordingWindowTest, TheZoomedChartShowsItsZoomOutButtonOnly) {
  Make();
  bool zoomOutShown = false, zoomInHidden = false;
  TfrmSuperContainer::RunModal = [&](TfrmSuperContainer& w) {
    zoomOutShown = !w.findChild<QToolButton*>("btnChartZoomOut")->isHidden();
    zoomInHidden = w.findChild<QToolButton*>("btnFly")->isHidden();
    w.findChild<QToolButton*>("btnChartZoomOut")->click();
    return 0;
  };
  Find<QToolButton>("btnFly")->click();
  EXPECT_TRUE(zoomOutShown);
  EXPECT_TRUE(zoomInHidden);
  EXPECT_FALSE(Find<QToolButton>("btnFly")->isHidden());
  EXPECT_TRUE(Find<QToolButton>("btnChartZoomOut")->isHidden());
  EXPECT_EQ(Find("pnlChartParent")->parentWidget(), Find("pnlChartHome"));
  TfrmSuperContainer::RunModal = [](TfrmSuperContainer& w) {
    w.showMaximized();
    return w.exec();
  };
}

}  // namespace
}  // namespace qm::gui
