#include "app/gui/lcd/LcdPanel.h"

#include <QFont>
#include <QLabel>
#include <QPalette>

#include "app/gui/lcd/LcdDigitDisplay.h"
#include "app/gui/lcd/LcdFonts.h"
#include "app/gui/lcd/LcdPictures.h"

namespace qm::gui {
namespace {

using enum TLcdControl;
using TDrawing = TLcdPicture::TDrawing;

const QColor kGlass(166, 202, 240);  // sky blue, the digit displays

struct TFontSpec {
  const char* family;
  int pixelSize;  // the character height
  bool bold;
};

constexpr TFontSpec kBold11{kLabelFamily, 11, true};
constexpr TFontSpec kBold13{kLabelFamily, 13, true};
constexpr TFontSpec kPlain16{kLabelFamily, 16, false};
constexpr TFontSpec kMark13{kMarkSegmentFamily, 13, false};
constexpr TFontSpec kCurtain21{kLabelFamily, 21, true};

QFont MakeFont(const TFontSpec& spec) {
  QFont font(QString::fromLatin1(spec.family));
  font.setPixelSize(spec.pixelSize);
  font.setBold(spec.bold);
  return font;
}

struct TDisplaySpec {
  TLcdControl control;
  const char* name;
  QRect geometry;
  int fontHeight;
  int digitCells;
  const char* text;
};

// The four digit displays: auxiliary, main and the two sub-values.
const TDisplaySpec kDisplays[] = {
    {lcdDisplay0, "lcdDisplay0", {72, 61, 49, 26}, 21, 3, "999"},
    {lcdDisplay1, "lcdDisplay1", {72, 94, 289, 73}, 71, 5, "-9999"},
    {lcdDisplay2, "lcdDisplay2", {72, 208, 84, 26}, 21, 5, "-9999"},
    {lcdDisplay3, "lcdDisplay3", {277, 208, 84, 26}, 21, 5, "-9999"},
};

struct TLabelSpec {
  TLcdControl control;
  const char* name;
  QRect geometry;
  TFontSpec font;
  const char* text;  // UTF-8
  bool visible;
  bool rightAligned;
};

const TLabelSpec kLabels[] = {
    {lcdUnit, "lcdUnit", {368, 149, 49, 16}, kBold13, "", true, false},
    {lcdSubUnit1, "lcdSubUnit1", {160, 218, 33, 16}, kBold11, "", true, false},
    {lcdSubUnit2, "lcdSubUnit2", {365, 218, 36, 16}, kBold11, "", true, false},
    {lcdCosSin, "lcdCosSin", {16, 148, 49, 16}, kBold13, "", true, false},
    {lcdTHD, "lcdTHD", {365, 205, 36, 16}, kBold11, "", true, false},
    {lcdTime, "lcdTime", {314, 180, 47, 14}, kBold11, "", true, true},
    {lcdMax, "lcdMax", {74, 180, 31, 14}, kBold11, "", true, false},
    {lcdMin, "lcdMin", {170, 180, 31, 14}, kBold11, "", true, false},
    {lcdMr, "lcdMr", {50, 61, 17, 14}, kBold11, "MR", false, false},
    {lcdMem, "lcdMem", {42, 75, 26, 14}, kBold11, "MEM", false, false},
    {lcdMemFull, "lcdMemFull", {125, 59, 27, 14}, kBold11, "FULL", false, false},
    {lcdMemClr, "lcdMemClr", {125, 75, 22, 14}, kBold11, "CLR", false, false},
    {lcdSelect1, "lcdSelect1", {224, 71, 25, 16}, kMark13, "% 1", false, true},
    {lcdSelect2, "lcdSelect2", {272, 71, 25, 16}, kMark13, "% 2", false, true},
    {lcdSelect3, "lcdSelect3", {320, 71, 25, 16}, kMark13, "% 3", false, true},
    {lcdSum, "lcdSum", {360, 69, 17, 16}, kPlain16, "Σ", false, true},
    {lcdW, "lcdW", {376, 69, 17, 16}, kPlain16, "W", false, true},
};

struct TPictureSpec {
  TLcdControl control;
  const char* name;
  QRect geometry;
  TDrawing drawing;
  const char* text;  // the caption the mark carries on the meter's own panel
};

// All hidden at start. The three phase-sequence pictures share one place.
const TPictureSpec kPictures[] = {
    {lcdHold, "lcdHold", {262, 4, 19, 39}, TDrawing::Hold, "\""},
    {lcdAutoPower, "lcdAutoPower", {360, 12, 41, 36}, TDrawing::AutoPowerOff, "\""},
    {lcdWarning, "lcdWarning", {52, 12, 21, 29}, TDrawing::Warning, ""},
    {lcdLowPower, "lcdLowPower", {96, 12, 32, 29}, TDrawing::LowBattery, ""},
    {lcdRstA, "lcdRstA", {304, 9, 32, 32}, TDrawing::PhaseSequence, ""},
    {lcdRstB1, "lcdRstB1", {304, 9, 32, 32}, TDrawing::PhaseSequenceLeft, ""},
    {lcdRstB2, "lcdRstB2", {304, 9, 32, 32}, TDrawing::PhaseSequenceRight, ""},
    {lcdAC, "lcdAC", {32, 92, 33, 25}, TDrawing::Tilde, ""},
    {lcdAC2, "lcdAC2", {45, 199, 25, 34}, TDrawing::SmallTilde, ""},
    {lcdAC3, "lcdAC3", {250, 199, 25, 34}, TDrawing::SmallTilde, ""},
};

QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& geometry, const QString& text) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(geometry);
  label->setText(text);
  return label;
}

QLabel* MakeCurtain(QWidget* parent, const char* name, const QRect& geometry) {
  QLabel* curtain = MakeLabel(parent, name, geometry, QString());
  curtain->setAlignment(Qt::AlignCenter);
  curtain->setAutoFillBackground(true);
  curtain->hide();
  return curtain;
}

}  // namespace

TLcdPanel::TLcdPanel(QWidget* parent) : QFrame(parent) {
  RegisterLcdFonts();
  setObjectName(QStringLiteral("pnlLcd"));
  setFixedSize(kWidth, kHeight);
  // Raised outside, lowered inside: two pixels of bevel all round.
  setFrameStyle(QFrame::Box | QFrame::Raised);
  setLineWidth(1);
  QPalette face = palette();
  face.setColor(QPalette::Window, Qt::white);
  face.setColor(QPalette::WindowText, Qt::black);
  setPalette(face);
  setAutoFillBackground(true);

  for (const TDisplaySpec& spec : kDisplays) {
    auto* display = new TLcdDigitDisplay(spec.digitCells, this);
    display->setObjectName(QString::fromLatin1(spec.name));
    display->setGeometry(spec.geometry);
    QFont font(QString::fromLatin1(kMainSegmentFamily));
    font.setPixelSize(spec.fontHeight);
    font.setBold(true);  // the bold cut reads better at the small sizes
    display->setFont(font);
    QPalette glass = display->palette();
    glass.setColor(QPalette::Base, kGlass);
    glass.setColor(QPalette::Text, Qt::black);
    display->setPalette(glass);
    display->setText(QString::fromLatin1(spec.text));
    Put(spec.control, display);
  }

  for (const TLabelSpec& spec : kLabels) {
    QLabel* label = MakeLabel(this, spec.name, spec.geometry, QString::fromUtf8(spec.text));
    label->setFont(MakeFont(spec.font));
    label->setAlignment(Qt::AlignTop | (spec.rightAligned ? Qt::AlignRight : Qt::AlignLeft));
    label->setVisible(spec.visible);
    Put(spec.control, label);
  }
  QLabel* trueRms = MakeLabel(this, "lcdTrueRMS", {110, 180, 49, 14}, QStringLiteral("TrueRMS"));
  trueRms->setFont(MakeFont(kBold11));
  trueRms->setAlignment(Qt::AlignTop | Qt::AlignLeft);

  for (const TPictureSpec& spec : kPictures) {
    auto* picture = new TLcdPicture(spec.drawing, this);
    picture->setObjectName(QString::fromLatin1(spec.name));
    picture->setTextFormat(Qt::PlainText);
    picture->setGeometry(spec.geometry);
    picture->setText(QString::fromLatin1(spec.text));
    picture->hide();
    Put(spec.control, picture);
  }
  auto* conOkN = new TLcdPicture(TDrawing::LinkFrame1, this);
  conOkN->setObjectName(QStringLiteral("CONokN"));
  conOkN->setGeometry(8, 6, 25, 24);
  auto* conOk = new TLcdPicture(TDrawing::LinkFrame2, this);
  conOk->setObjectName(QStringLiteral("CONok"));
  conOk->setGeometry(8, 6, 25, 24);
  conOk->hide();
  conOk_ = conOk;
  conOkN_ = conOkN;

  QLabel* usb = MakeLabel(this, "lcdUSB", {146, 24, 35, 16}, QStringLiteral(" USB"));
  usb->setFont(MakeFont(kBold13));
  usb->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  QPalette inverse = usb->palette();
  inverse.setColor(QPalette::Window, Qt::black);
  inverse.setColor(QPalette::WindowText, Qt::white);
  usb->setPalette(inverse);
  usb->setAutoFillBackground(true);
  usb->hide();
  usb_ = usb;

  // The curtains come last so that they lie above everything else. They fill the inside of the
  // bevel except the left part of the second row: the top strip, the right part of the second row
  // beside it, and the whole lower part.
  const QRect inside = contentsRect();
  constexpr int kTopHeight = 47;
  constexpr int kBottomHeight = 151;
  constexpr int kRightWidth = 290;
  const QRect top(inside.left(), inside.top(), inside.width(), kTopHeight);
  const QRect bottom(inside.left(), inside.bottom() + 1 - kBottomHeight, inside.width(), kBottomHeight);
  const QRect right(inside.right() + 1 - kRightWidth, top.bottom() + 1, kRightWidth, bottom.top() - top.bottom() - 1);
  Put(Panel3, MakeCurtain(this, "Panel3", top));
  Put(Panel7, MakeCurtain(this, "Panel7", right));
  QLabel* loadLog = MakeCurtain(this, "pnlLoadLog", bottom);
  loadLog->setFont(MakeFont(kCurtain21));
  loadLog->setText(QStringLiteral("Data transfer completed"));
  Put(pnlLoadLog, loadLog);
  // The progress dots, up to 19 of them.
  QLabel* loading = MakeLabel(loadLog, "lblLoading", {160, 112, bottom.width() - 160, 26}, QString());
  loading->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  Put(lblLoading, loading);
}

void TLcdPanel::Put(TLcdControl control, QLabel* label) {
  controls_[static_cast<std::size_t>(control)] = TSlot{label, label, nullptr};
}

void TLcdPanel::Put(TLcdControl control, QLineEdit* edit) {
  controls_[static_cast<std::size_t>(control)] = TSlot{edit, nullptr, edit};
}

QWidget* TLcdPanel::Control(TLcdControl control) const {
  const auto index = static_cast<std::size_t>(control);
  return index < controls_.size() ? controls_[index].widget : nullptr;
}

void TLcdPanel::SetCaption(TLcdControl control, const QString& text) {
  const auto index = static_cast<std::size_t>(control);
  if (index >= controls_.size()) return;
  const TSlot& slot = controls_[index];
  if (slot.edit != nullptr) {
    if (slot.edit->text() != text) slot.edit->setText(text);
  } else if (slot.label != nullptr && slot.label->text() != text) {
    slot.label->setText(text);
  }
}

void TLcdPanel::SetShown(QWidget* widget, bool visible) {
  if (widget != nullptr && widget->isHidden() == visible) widget->setVisible(visible);
}

void TLcdPanel::SetControlVisible(TLcdControl control, bool visible) { SetShown(Control(control), visible); }

void TLcdPanel::SetActivityIndicator(bool conOkVisible) {
  SetShown(conOk_, conOkVisible);
  SetShown(conOkN_, !conOkVisible);
}

void TLcdPanel::SetUsbVisible(bool visible) { SetShown(usb_, visible); }

}  // namespace qm::gui
