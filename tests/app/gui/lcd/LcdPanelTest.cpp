// The virtual LCD panel: its layout at start, the setters, the curtains, the digit glass, the focus
// hand-over of the digit displays and the fonts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QRegion>
#include <QTest>
#include <algorithm>
#include <optional>
#include <vector>

#include "app/gui/lcd/LcdDigitDisplay.h"
#include "app/gui/lcd/LcdFonts.h"
#include "app/gui/lcd/LcdPanel.h"

namespace qm::gui {
namespace {

using enum TLcdControl;

QString TextOf(const QWidget* w) {
  if (const auto* edit = qobject_cast<const QLineEdit*>(w)) return edit->text();
  if (const auto* label = qobject_cast<const QLabel*>(w)) return label->text();
  return QStringLiteral("<no text>");
}

struct ControlCase {
  const char* name;
  std::optional<TLcdControl> control;  // none: reached through its own setter or fixed
  QRect geometry;                      // in its parent
  const char* text;                    // UTF-8
  bool visible;
  int fontHeight;  // 0: not checked (pictures)
  bool bold;
};

const ControlCase kControls[] = {
    {"lcdDisplay0", lcdDisplay0, {72, 61, 49, 26}, "999", true, 21, true},
    {"lcdDisplay1", lcdDisplay1, {72, 94, 289, 73}, "-9999", true, 71, true},
    {"lcdDisplay2", lcdDisplay2, {72, 208, 84, 26}, "-9999", true, 21, true},
    {"lcdDisplay3", lcdDisplay3, {277, 208, 84, 26}, "-9999", true, 21, true},
    {"lcdUnit", lcdUnit, {368, 149, 49, 16}, "", true, 13, true},
    {"lcdSubUnit1", lcdSubUnit1, {160, 218, 33, 16}, "", true, 11, true},
    {"lcdSubUnit2", lcdSubUnit2, {365, 218, 36, 16}, "", true, 11, true},
    {"lcdCosSin", lcdCosSin, {16, 148, 49, 16}, "", true, 13, true},
    {"lcdTHD", lcdTHD, {365, 205, 36, 16}, "", true, 11, true},
    {"lcdTime", lcdTime, {314, 180, 47, 14}, "", true, 11, true},
    {"lcdMax", lcdMax, {74, 180, 31, 14}, "", true, 11, true},
    {"lcdTrueRMS", std::nullopt, {110, 180, 49, 14}, "TrueRMS", true, 11, true},
    {"lcdMin", lcdMin, {170, 180, 31, 14}, "", true, 11, true},
    {"lcdMr", lcdMr, {50, 61, 17, 14}, "MR", false, 11, true},
    {"lcdMem", lcdMem, {42, 75, 26, 14}, "MEM", false, 11, true},
    {"lcdMemFull", lcdMemFull, {125, 59, 27, 14}, "FULL", false, 11, true},
    {"lcdMemClr", lcdMemClr, {125, 75, 22, 14}, "CLR", false, 11, true},
    {"lcdSelect1", lcdSelect1, {224, 71, 25, 16}, "% 1", false, 13, false},
    {"lcdSelect2", lcdSelect2, {272, 71, 25, 16}, "% 2", false, 13, false},
    {"lcdSelect3", lcdSelect3, {320, 71, 25, 16}, "% 3", false, 13, false},
    {"lcdSum", lcdSum, {360, 69, 17, 16}, "Σ", false, 16, false},
    {"lcdW", lcdW, {376, 69, 17, 16}, "W", false, 16, false},
    {"lcdHold", lcdHold, {262, 4, 19, 39}, "\"", false, 0, false},
    {"lcdAutoPower", lcdAutoPower, {360, 12, 41, 36}, "\"", false, 0, false},
    {"lcdUSB", std::nullopt, {146, 24, 35, 16}, " USB", false, 13, true},
    {"CONokN", std::nullopt, {8, 6, 25, 24}, "", true, 0, false},
    {"CONok", std::nullopt, {8, 6, 25, 24}, "", false, 0, false},
    {"lcdWarning", lcdWarning, {52, 12, 21, 29}, "", false, 0, false},
    {"lcdLowPower", lcdLowPower, {96, 12, 32, 29}, "", false, 0, false},
    {"lcdRstA", lcdRstA, {304, 9, 32, 32}, "", false, 0, false},
    {"lcdRstB1", lcdRstB1, {304, 9, 32, 32}, "", false, 0, false},
    {"lcdRstB2", lcdRstB2, {304, 9, 32, 32}, "", false, 0, false},
    {"lcdAC", lcdAC, {32, 92, 33, 25}, "", false, 0, false},
    {"lcdAC2", lcdAC2, {45, 199, 25, 34}, "", false, 0, false},
    {"lcdAC3", lcdAC3, {250, 199, 25, 34}, "", false, 0, false},
    {"Panel3", Panel3, {2, 2, 440, 47}, "", false, 0, false},
    {"Panel7", Panel7, {152, 49, 290, 39}, "", false, 0, false},
    {"pnlLoadLog", pnlLoadLog, {2, 88, 440, 151}, "Data transfer completed", false, 21, true},
    {"lblLoading", lblLoading, {160, 112, 280, 26}, "", true, 21, true},
};

const char* const kCurtains[] = {"Panel3", "Panel7", "pnlLoadLog"};

bool IsCurtain(const QString& name) {
  return std::ranges::any_of(kCurtains, [&](const char* curtain) { return name == QLatin1String(curtain); });
}

TEST(LcdPanel, StartsAsLaidOut) {
  TLcdPanel panel;
  EXPECT_EQ(panel.objectName(), "pnlLcd");
  EXPECT_EQ(panel.size(), QSize(444, 241));
  EXPECT_EQ(panel.minimumSize(), panel.maximumSize());
  EXPECT_EQ(panel.contentsRect(), QRect(2, 2, 440, 237));
  EXPECT_EQ(panel.layout(), nullptr);

  for (const ControlCase& c : kControls) {
    SCOPED_TRACE(c.name);
    const auto* w = panel.findChild<QWidget*>(QString::fromLatin1(c.name));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), c.geometry);
    EXPECT_EQ(TextOf(w), QString::fromUtf8(c.text));
    EXPECT_EQ(!w->isHidden(), c.visible);
    if (c.control) {
      EXPECT_EQ(panel.Control(*c.control), w);
    }
    if (c.fontHeight != 0) {
      EXPECT_EQ(w->font().pixelSize(), c.fontHeight);
      EXPECT_EQ(w->font().bold(), c.bold);
    }
  }
  for (int i = 0; i < kLcdControlCount; ++i)
    EXPECT_NE(panel.Control(static_cast<TLcdControl>(i)), nullptr) << "control " << i;
  EXPECT_EQ(panel.findChild<QWidget*>("lblLoading")->parentWidget(), panel.Control(pnlLoadLog));
}

TEST(LcdPanel, DigitDisplaysAreRightAlignedReadOnlyGlass) {
  TLcdPanel panel;
  for (TLcdControl c : {lcdDisplay0, lcdDisplay1, lcdDisplay2, lcdDisplay3}) {
    const auto* display = qobject_cast<TLcdDigitDisplay*>(panel.Control(c));
    ASSERT_NE(display, nullptr);
    EXPECT_TRUE(display->isReadOnly());
    EXPECT_EQ(display->Alignment(), TCEdit::taRightJustify);
    EXPECT_TRUE(display->PassesFocusOn());
    EXPECT_EQ(display->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(display->palette().color(QPalette::Base), QColor(166, 202, 240));
    EXPECT_TRUE(QFontInfo(display->font()).family().startsWith("DSEG7")) << QFontInfo(display->font()).family().toStdString();
  }
}

TEST(LcdPanel, SettersReachTheirControlOnly) {
  TLcdPanel panel;
  for (const ControlCase& c : kControls) {
    if (!c.control) continue;
    SCOPED_TRACE(c.name);
    QWidget* w = panel.findChild<QWidget*>(QString::fromLatin1(c.name));
    const QString before = TextOf(w);
    panel.SetCaption(*c.control, QStringLiteral("1.5"));
    EXPECT_EQ(TextOf(w), "1.5");
    panel.SetControlVisible(*c.control, !c.visible);
    EXPECT_EQ(w->isHidden(), c.visible);
    panel.SetControlVisible(*c.control, c.visible);
    EXPECT_EQ(w->isHidden(), !c.visible);
    panel.SetCaption(*c.control, before);
  }
  // Nothing else was touched on the way.
  for (const ControlCase& c : kControls) {
    const auto* w = panel.findChild<QWidget*>(QString::fromLatin1(c.name));
    EXPECT_EQ(TextOf(w), QString::fromUtf8(c.text)) << c.name;
    EXPECT_EQ(!w->isHidden(), c.visible) << c.name;
  }

  panel.SetUsbVisible(true);
  EXPECT_FALSE(panel.findChild<QWidget*>("lcdUSB")->isHidden());
  panel.SetUsbVisible(false);
  EXPECT_TRUE(panel.findChild<QWidget*>("lcdUSB")->isHidden());
}

TEST(LcdPanel, ActivityPicturesAlternate) {
  TLcdPanel panel;
  const QWidget* conOk = panel.findChild<QWidget*>("CONok");
  const QWidget* conOkN = panel.findChild<QWidget*>("CONokN");
  for (bool shown : {true, false, true, true, false}) {
    panel.SetActivityIndicator(shown);
    EXPECT_EQ(!conOk->isHidden(), shown);
    EXPECT_EQ(!conOkN->isHidden(), !shown);
  }
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

// Readings arrive many times a second; one that repeats the last must cost no painting.
TEST(LcdPanel, AnUnchangedReadingDoesNotRepaint) {
  TLcdPanel panel;
  panel.SetCaption(lcdUnit, QStringLiteral("KW"));
  panel.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
  QApplication::processEvents();
  PaintCounter displayPaints(panel.Control(lcdDisplay1));
  PaintCounter unitPaints(panel.Control(lcdUnit));
  PaintCounter holdPaints(panel.Control(lcdHold));

  for (int frame = 0; frame < 3; ++frame) {
    panel.SetCaption(lcdDisplay1, QStringLiteral("-9999"));
    panel.SetCaption(lcdUnit, QStringLiteral("KW"));
    panel.SetControlVisible(lcdHold, false);
    QApplication::processEvents();
  }
  EXPECT_EQ(displayPaints.count, 0);
  EXPECT_EQ(unitPaints.count, 0);
  EXPECT_EQ(holdPaints.count, 0);

  panel.SetCaption(lcdDisplay1, QStringLiteral(" 230.1"));
  panel.SetCaption(lcdUnit, QStringLiteral("KVA"));
  panel.SetControlVisible(lcdHold, true);
  QApplication::processEvents();
  EXPECT_GT(displayPaints.count, 0);
  EXPECT_GT(unitPaints.count, 0);
  EXPECT_GT(holdPaints.count, 0);
}

TEST(LcdPanel, CurtainsCoverAllButTheAuxiliaryRowAndLieOnTop) {
  TLcdPanel panel;
  QRegion curtains;
  for (const char* name : kCurtains) curtains += panel.findChild<QWidget*>(name)->geometry();
  const QSet<QString> uncovered{"lcdDisplay0", "lcdMr", "lcdMem", "lcdMemFull", "lcdMemClr"};
  const QObjectList stack = panel.children();  // in stacking order, bottom first
  qsizetype lowestCurtain = stack.size();
  for (const char* name : kCurtains)
    lowestCurtain = std::min(lowestCurtain, stack.indexOf(panel.findChild<QWidget*>(name)));
  for (const ControlCase& c : kControls) {
    const QString name = QString::fromLatin1(c.name);
    const QWidget* w = panel.findChild<QWidget*>(name);
    if (w->parentWidget() != &panel || IsCurtain(name)) continue;
    SCOPED_TRACE(c.name);
    const QRegion outside = QRegion(w->geometry()) - curtains;
    EXPECT_EQ(outside.isEmpty(), !uncovered.contains(name));
    if (uncovered.contains(name)) {  // MEM and CLR lose their (empty) bottom row to pnlLoadLog
      EXPECT_LE((QRegion(w->geometry()) - outside).boundingRect().height(), 1);
    }
    EXPECT_LT(stack.indexOf(w), lowestCurtain);
  }
}

// The glass: what the empty display shows of each digit position must be lit by an all-segments
// reading, and a short reading must light only segments of the glass, at its right end.
class DigitGlass : public ::testing::TestWithParam<TLcdControl> {};

TEST_P(DigitGlass, ReadingsLineUpWithTheUnlitSegments) {
  TLcdPanel panel;
  auto* display = qobject_cast<QLineEdit*>(panel.Control(GetParam()));
  const QColor glass(166, 202, 240);
  auto render = [&](const char* text) {
    panel.SetCaption(GetParam(), QString::fromLatin1(text));
    return display->grab().toImage().convertToFormat(QImage::Format_RGB32);
  };
  const QImage empty = render("");
  const QImage full = render(GetParam() == lcdDisplay0 ? "8.8.8" : "8.8.8.8.8");
  const QImage one = render("1");
  int unlit = 0;
  int lit = 0;
  int rightmostLit = -1;
  std::vector<QPoint> unlitLeftDark;  // glass that the all-segments reading does not light
  std::vector<QPoint> litOffGlass;    // segments lit where the glass has none
  const QRect inside = empty.rect().adjusted(1, 1, -1, -1);
  for (int y = inside.top(); y <= inside.bottom(); ++y)
    for (int x = inside.left(); x <= inside.right(); ++x) {
      const int ghost = qGray(glass.rgb()) - qGray(empty.pixel(x, y));  // how much darker than bare glass
      if (ghost >= 20) {
        ++unlit;
        if (qGray(full.pixel(x, y)) >= 90) unlitLeftDark.emplace_back(x, y);
      }
      if (qGray(one.pixel(x, y)) < 90) {
        ++lit;
        rightmostLit = std::max(rightmostLit, x);
        if (ghost <= 0) litOffGlass.emplace_back(x, y);
      }
    }
  EXPECT_GT(unlit, 0);
  EXPECT_GT(lit, 0);
  EXPECT_TRUE(unlitLeftDark.empty()) << unlitLeftDark.size() << " pixels, first at " << unlitLeftDark[0].x() << ","
                                     << unlitLeftDark[0].y();
  EXPECT_TRUE(litOffGlass.empty()) << litOffGlass.size() << " pixels, first at " << litOffGlass[0].x() << ","
                                   << litOffGlass[0].y();
  EXPECT_GT(rightmostLit, inside.right() - inside.width() / 8);
}

INSTANTIATE_TEST_SUITE_P(EveryDisplay, DigitGlass, ::testing::Values(lcdDisplay0, lcdDisplay1, lcdDisplay2, lcdDisplay3),
                         [](const auto& p) { return "lcdDisplay" + std::to_string(static_cast<int>(p.param) - static_cast<int>(lcdDisplay0)); });

TEST(LcdDigitDisplay, SegmentTextGivesEachCharacterItsPosition) {
  struct Case {
    const char* text;
    const char* segments;
    int positions;
  };
  for (const Case& c : {Case{" 230.1", "!230.1", 5}, Case{"1,234", "1.234", 4}, Case{".5", "!.5", 2},
                        Case{"1..2", "1.!.2", 3}, Case{"  OL ", "!!OL!", 5}, Case{"", "", 0}}) {
    int positions = -1;
    EXPECT_EQ(TLcdDigitDisplay::SegmentText(QString::fromLatin1(c.text), positions), c.segments) << c.text;
    EXPECT_EQ(positions, c.positions) << c.text;
  }
}

struct FocusCase {
  TLcdControl display;
  Qt::FocusReason reason;
  const char* expected;  // objectName of the widget that ends up with the focus
};

class DigitFocus : public ::testing::TestWithParam<FocusCase> {};

TEST_P(DigitFocus, MovesOnAtOnce) {
  QWidget window;
  auto* layout = new QHBoxLayout(&window);
  auto* before = new QLineEdit(&window);
  before->setObjectName("before");
  auto* panel = new TLcdPanel(&window);
  auto* after = new QLineEdit(&window);
  after->setObjectName("after");
  layout->addWidget(before);
  layout->addWidget(panel);
  layout->addWidget(after);
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  panel->Control(GetParam().display)->setFocus(GetParam().reason);
  QApplication::processEvents();
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, DigitFocus,
                         ::testing::Values(FocusCase{lcdDisplay1, Qt::MouseFocusReason, "after"},
                                           FocusCase{lcdDisplay0, Qt::TabFocusReason, "after"},
                                           FocusCase{lcdDisplay3, Qt::OtherFocusReason, "after"},
                                           FocusCase{lcdDisplay2, Qt::BacktabFocusReason, "before"}));

TEST(DigitFocusAlone, WithNowhereToGoTheFocusIsDropped) {
  TLcdPanel panel;
  panel.show();
  QApplication::setActiveWindow(&panel);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
  panel.Control(lcdDisplay1)->setFocus(Qt::MouseFocusReason);
  QApplication::processEvents();
  EXPECT_FALSE(panel.Control(lcdDisplay1)->hasFocus());
  for (TLcdControl c : {lcdDisplay0, lcdDisplay2, lcdDisplay3}) EXPECT_FALSE(panel.Control(c)->hasFocus());
}

TEST(LcdFonts, NamedFamiliesResolveToTheBundledFonts) {
  ASSERT_TRUE(RegisterLcdFonts());
  EXPECT_TRUE(RegisterLcdFonts());
  for (const char* family : {kMainSegmentFamily, kMarkSegmentFamily})
    EXPECT_EQ(QFontInfo(QFont(QString::fromLatin1(family))).family(), kSegmentFontFamily) << family;
  const QString label = QFontInfo(QFont(QString::fromLatin1(kLabelFamily))).family();
  EXPECT_TRUE(label == kLabelFontFamily || label == kLabelFamily) << label.toStdString();
}

// Not a check: with QM_LCD_SNAPSHOT=/some/prefix, writes prefix-start.png (the panel as created),
// prefix-all.png (every mark lit, sample readings) and prefix-export.png (curtains down), to look at.
TEST(LcdPanelSnapshot, WritesPictures) {
  const QString prefix = qEnvironmentVariable("QM_LCD_SNAPSHOT");
  if (prefix.isEmpty()) GTEST_SKIP() << "set QM_LCD_SNAPSHOT to write the pictures";
  TLcdPanel panel;
  ASSERT_TRUE(panel.grab().save(prefix + "-start.png"));

  for (int i = 0; i < kLcdControlCount; ++i) panel.SetControlVisible(static_cast<TLcdControl>(i), true);
  for (TLcdControl c : {Panel3, Panel7, pnlLoadLog}) panel.SetControlVisible(c, false);
  panel.SetControlVisible(lcdRstA, false);
  panel.SetControlVisible(lcdRstB1, false);
  panel.SetActivityIndicator(true);
  panel.SetUsbVisible(true);
  const std::pair<TLcdControl, const char*> captions[] = {
      {lcdDisplay0, "1.5"}, {lcdDisplay1, " 230.1"}, {lcdDisplay2, " 1.234"}, {lcdDisplay3, " 50.00"},
      {lcdUnit, "KVAr"},    {lcdSubUnit1, "V"},       {lcdSubUnit2, "%f"},     {lcdCosSin, "COSФ"},
      {lcdTHD, "THD"},      {lcdTime, "h:mm"},        {lcdMax, "MAX"},         {lcdMin, "MIN"}};
  for (const auto& [control, text] : captions) panel.SetCaption(control, QString::fromUtf8(text));
  ASSERT_TRUE(panel.grab().save(prefix + "-all.png"));

  for (TLcdControl c : {Panel3, Panel7, pnlLoadLog}) panel.SetControlVisible(c, true);
  panel.SetCaption(pnlLoadLog, QStringLiteral("Data transfering"));
  panel.SetCaption(lblLoading, QStringLiteral("......."));
  ASSERT_TRUE(panel.grab().save(prefix + "-export.png"));
}

}  // namespace
}  // namespace qm::gui
