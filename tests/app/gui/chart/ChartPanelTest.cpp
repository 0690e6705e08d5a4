// The chart panel pnlChartParent: paging through ToolBar2 and the page display, the range edit
// judged after its last change, and the chart saved as a bitmap.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ChartFixture.h"
#include "app/gui/chart/ChartPanel.h"
#include "app/gui/chart/ChartView.h"
#include "app/gui/lcd/CEdit.h"
#include "common/ScriptedPrompt.h"

namespace qm::gui {
namespace {

constexpr const char* kRangeMessage = "Please enter a number between 10 to 10000";

struct PanelFixture : test::ChartFixture {
  test::ScriptedPrompt prompt;
  TChartPanel panel{chart, control, prompt};

  template <typename T = QWidget>
  T* Find(const char* name) {
    T* w = panel.findChild<T*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  TCEdit* Range() { return Find<TCEdit>("edtRange"); }
  QString PageShown() { return Find<TCEdit>("edtCurPage")->text(); }
  void Click(const char* button) { Find<QToolButton>(button)->click(); }
  std::pair<double, double> Window() const { return {chart.HorzMinimum(), chart.HorzMaximum()}; }

  // Types into the range edit as the user does, replacing its text.
  void TypeRange(const QString& text) {
    Range()->selectAll();
    QTest::keyClick(Range(), Qt::Key_Backspace);
    QTest::keyClicks(Range(), text);
  }
  // The one-second delay running out.
  void RangeDelayExpires() {
    QTimer* timer = Find<QTimer>("timerChange");
    ASSERT_TRUE(timer->isActive());
    ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout"));
  }
};

using Window = std::pair<double, double>;

TEST(ChartPanelPaging, StartsOnTheFirstPageAndFollowsWithoutTouchingTheDisplay) {
  PanelFixture f;
  EXPECT_EQ(f.Window(), Window(1, 100));
  EXPECT_EQ(f.PageShown(), "1");
  EXPECT_EQ(f.Range()->text(), "100");

  f.Readings(99);
  EXPECT_EQ(f.Window(), Window(1, 100));
  f.Readings(1);  // the hundredth: a second page, but no point beyond 100 yet
  EXPECT_EQ(f.control.CurrentPage(), 2);
  EXPECT_EQ(f.Window(), Window(1, 100));
  EXPECT_EQ(f.PageShown(), "1");
  f.Readings(1);
  EXPECT_EQ(f.Window(), Window(101, 200));
  EXPECT_EQ(f.PageShown(), "1");  // only the paging controls and the range edit refresh it
}

TEST(ChartPanelPaging, ButtonsMoveTheWindowAndRefreshTheDisplay) {
  PanelFixture f;
  f.Readings(250);  // pages 1 .. 3, the third shown

  struct Step {
    const char* button;
    Window window;
    const char* shown;
  };
  const Step steps[] = {
      {"btnFirst", {1, 100}, "1"},     {"btnPrevious", {1, 100}, "1"}, {"btnNext", {101, 200}, "2"},
      {"btnNext", {201, 300}, "3"},    {"btnNext", {201, 300}, "3"},   {"btnPrevious", {101, 200}, "2"},
      {"btnLast", {201, 300}, "3"},
  };
  for (const Step& s : steps) {
    f.Click(s.button);
    EXPECT_EQ(f.Window(), s.window) << s.button;
    EXPECT_EQ(f.PageShown(), s.shown) << s.button;
  }
}

TEST(ChartPanelPaging, PreviousStopsFollowingAndLastCatchesUp) {
  PanelFixture f;
  f.Readings(250);
  f.Click("btnPrevious");
  f.Readings(200);  // pages 4 and 5 arrive meanwhile
  EXPECT_EQ(f.Window(), Window(101, 200));
  EXPECT_EQ(f.PageShown(), "2");

  f.Click("btnLast");
  EXPECT_EQ(f.Window(), Window(401, 500));
  EXPECT_EQ(f.PageShown(), "5");
  f.Readings(60);  // following again
  EXPECT_EQ(f.Window(), Window(501, 600));
}

TEST(ChartPanelPaging, RangeEditSetsThePageSizeAndShowsTheNewestPage) {
  PanelFixture f;
  f.TypeRange("50");
  f.RangeDelayExpires();
  EXPECT_EQ(f.control.Range(), 50);
  f.Readings(250);
  EXPECT_EQ(f.Window(), Window(201, 250));

  f.TypeRange("100");
  f.RangeDelayExpires();
  EXPECT_EQ(f.Window(), Window(201, 300));
  EXPECT_EQ(f.control.CurrentPage(), 3);
  EXPECT_EQ(f.PageShown(), "3");
  EXPECT_EQ(f.panel.ChartRange(), 100);
  EXPECT_TRUE(f.prompt.shown.empty());
}

struct RangeCase {
  const char* typed;
  bool accepted;
};
void PrintTo(const RangeCase& c, std::ostream* os) { *os << '"' << c.typed << '"'; }

class ChartPanelRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(ChartPanelRange, IsJudgedWhenTheDelayRunsOut) {
  const RangeCase& c = GetParam();
  PanelFixture f;
  f.Readings(250);
  f.TypeRange(QString::fromLatin1(c.typed));
  EXPECT_EQ(f.control.Range(), 100);  // nothing before the delay
  EXPECT_TRUE(f.prompt.shown.empty());

  f.RangeDelayExpires();
  if (c.accepted) {
    EXPECT_EQ(f.control.Range(), std::stoi(c.typed));
    EXPECT_EQ(f.panel.ChartRange(), std::stoi(c.typed));
    EXPECT_EQ(f.Range()->text(), QString::fromLatin1(c.typed));
    EXPECT_EQ(f.PageShown(), QString::number(f.control.CurrentPage()));
    EXPECT_TRUE(f.prompt.shown.empty());
  } else {
    EXPECT_EQ(f.prompt.Texts("information"), std::vector<std::string>{kRangeMessage});
    EXPECT_EQ(f.Range()->text(), "100");
    EXPECT_EQ(f.control.Range(), 100);
    EXPECT_EQ(f.panel.ChartRange(), 100);
  }
  // Judged once: the restored text does not start another round.
  EXPECT_FALSE(f.Find<QTimer>("timerChange")->isActive());
}

INSTANTIATE_TEST_SUITE_P(Entries, ChartPanelRange,
                         ::testing::Values(RangeCase{"9", false}, RangeCase{"10", true}, RangeCase{"10000", true},
                                           RangeCase{"10001", false}, RangeCase{"", false}));

TEST(ChartPanelRangeEdit, WaitsForTheLastChangeAndTakesDigitsOnly) {
  PanelFixture f;
  QTimer* timer = f.Find<QTimer>("timerChange");
  EXPECT_EQ(timer->interval(), 1000);
  EXPECT_TRUE(timer->isSingleShot());

  f.TypeRange("5");  // on its way to 50: not judged yet
  ASSERT_TRUE(timer->isActive());
  timer->stop();
  QTest::keyClick(f.Range(), Qt::Key_0);
  EXPECT_TRUE(timer->isActive());  // every change starts the delay afresh
  EXPECT_TRUE(f.prompt.shown.empty());

  f.TypeRange("1a2 .-+e3");
  EXPECT_EQ(f.Range()->text(), "123");
}

TEST(ChartPanelPageDisplay, IsACentredReadOnlyNumberThatPassesTheFocusOn) {
  PanelFixture f;
  f.Readings(250);
  f.Click("btnPrevious");
  TCEdit* page = f.Find<TCEdit>("edtCurPage");
  EXPECT_TRUE(page->isReadOnly());
  EXPECT_TRUE(page->PassesFocusOn());
  EXPECT_EQ(page->Alignment(), TCEdit::taCenter);
  EXPECT_EQ(f.Range()->Alignment(), TCEdit::taRightJustify);
  EXPECT_EQ(f.Find<TCEdit>("edtPage")->Alignment(), TCEdit::taRightJustify);

  page->setText(QStringLiteral("x"));
  EXPECT_EQ(page->text(), "2");
  EXPECT_EQ(page->selectedText(), "2");  // the first character selected
}

TEST(ChartPanelToolBar, HoldsItsControlsInOrderWithTheirHints) {
  PanelFixture f;
  f.panel.resize(600, 400);
  f.panel.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.panel));

  const std::pair<const char*, const char*> shown[] = {
      {"edtRange", "Range"}, {"btnFirst", "First"}, {"btnPrevious", "Previous"}, {"edtCurPage", "CurrentPage"},
      {"btnNext", "Next"},   {"btnLast", "Last"},   {"btnNew", "Clear"},       {"btnSave", "Save"},
      {"btnFly", "Zoom +"},
  };
  int left = -1;
  for (const auto& [name, hint] : shown) {
    QWidget* w = f.Find(name);
    EXPECT_TRUE(w->isVisible()) << name;
    EXPECT_EQ(w->toolTip(), QLatin1String(hint)) << name;
    EXPECT_GT(w->x(), left) << name;
    left = w->x();
  }
  for (const char* name : {"btnChartZoomOut", "Panel6", "edtPage", "btnGoPage"})
    EXPECT_FALSE(f.Find(name)->isVisible()) << name;
  EXPECT_EQ(f.Find<QLabel>("Panel6")->text(), "   Page: ");
  EXPECT_EQ(f.Find("btnChartZoomOut")->toolTip(), "Zoom -");
  EXPECT_EQ(f.Find("btnGoPage")->toolTip(), "GotoPage");
  EXPECT_EQ(f.Find("edtPage")->toolTip(), "GotoPage");

  // The chart lies under the toolbar and takes no mouse input.
  QWidget* chart = f.Find("Chart1");
  EXPECT_GE(chart->y(), f.Find("ToolBar2")->geometry().bottom());
  EXPECT_EQ(chart->focusPolicy(), Qt::NoFocus);
}

TEST(ChartPanelToolBar, ClearAndZoomAreLeftToTheWindow) {
  PanelFixture f;
  f.Readings(30);
  QSignalSpy clear(&f.panel, &TChartPanel::ClearRequested);
  QSignalSpy zoomIn(&f.panel, &TChartPanel::ZoomInRequested);
  QSignalSpy zoomOut(&f.panel, &TChartPanel::ZoomOutRequested);

  f.Click("btnNew");
  EXPECT_EQ(clear.count(), 1);
  EXPECT_EQ(f.chart.PointCount(1), 31);  // the window clears the log, which asks first

  f.Click("btnFly");
  EXPECT_EQ(zoomIn.count(), 1);
  f.panel.SetZoomed(true);
  EXPECT_TRUE(f.Find("btnFly")->isHidden());
  EXPECT_FALSE(f.Find("btnChartZoomOut")->isHidden());
  f.Click("btnChartZoomOut");
  EXPECT_EQ(zoomOut.count(), 1);
  f.panel.SetZoomed(false);
  EXPECT_FALSE(f.Find("btnFly")->isHidden());
  EXPECT_TRUE(f.Find("btnChartZoomOut")->isHidden());
}

TEST(ChartPanelGoTo, GoesToThePageInItsEdit) {
  PanelFixture f;
  f.Readings(450);
  f.Find<TCEdit>("edtPage")->setText(QStringLiteral("2"));
  f.Click("btnGoPage");
  EXPECT_EQ(f.Window(), Window(101, 200));
  EXPECT_EQ(f.PageShown(), "2");
}

// ---- saving the picture ----

std::int32_t LittleEndian32(const QByteArray& bytes, int at) {
  std::uint32_t n = 0;
  for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return static_cast<std::int32_t>(n);
}

struct SaveFixture : PanelFixture {
  QTemporaryDir dir;
  SaveFixture() {
    Readings(120);
    panel.resize(640, 420);
    panel.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&panel));
  }
  std::string Path(const char* name) const { return dir.filePath(QLatin1String(name)).toStdString(); }
  void Save(std::optional<std::string> answer) {
    prompt.fileAnswers.push_back(std::move(answer));
    Click("btnSave");
  }
};

TEST(ChartPanelSave, WritesTheChartAsShownIntoAWindowsBitmap) {
  SaveFixture f;
  f.Save(f.Path("trend.png"));
  EXPECT_EQ(f.prompt.Texts("save"), std::vector<std::string>{"Bitmaps (*.bmp)|*.bmp"});
  EXPECT_TRUE(f.prompt.lastAskBeforeOverwrite);
  EXPECT_TRUE(f.prompt.Texts("error").empty());

  QFile file(QString::fromStdString(f.Path("trend.png.bmp")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  ASSERT_GE(bytes.size(), 26);
  EXPECT_EQ(bytes.left(2), "BM");
  EXPECT_EQ(LittleEndian32(bytes, 2), bytes.size());
  TChartView& chart = f.panel.Chart();
  EXPECT_EQ(LittleEndian32(bytes, 18), chart.width());
  EXPECT_EQ(std::abs(LittleEndian32(bytes, 22)), chart.height());
  // What the screen shows.
  EXPECT_EQ(QImage::fromData(bytes, "BMP").convertToFormat(QImage::Format_RGB32),
            chart.grab().toImage().convertToFormat(QImage::Format_RGB32));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(f.Path("trend.png"))));
}

TEST(ChartPanelSave, KeepsANameEndingInBmpWhateverItsCase) {
  SaveFixture f;
  f.Save(f.Path("TREND.BMP"));
  EXPECT_EQ(QDir(f.dir.path()).entryList(QDir::Files), QStringList{"TREND.BMP"});
}

TEST(ChartPanelSave, CancelWritesNothing) {
  SaveFixture f;
  f.Save(std::nullopt);
  EXPECT_TRUE(QDir(f.dir.path()).entryList(QDir::Files).isEmpty());
  EXPECT_EQ(f.prompt.shown.size(), 1u);  // the dialog only
}

TEST(ChartPanelSave, AFailedWriteGoesToTheErrorReport) {
  SaveFixture f;
  const std::string name = f.Path("no such folder/trend.bmp");
  f.Save(name);
  const auto errors = f.prompt.Texts("error");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(name), std::string::npos) << errors[0];
  EXPECT_TRUE(f.prompt.Texts("information").empty());
}

}  // namespace
}  // namespace qm::gui
