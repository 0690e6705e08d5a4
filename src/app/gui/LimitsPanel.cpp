#include "app/gui/LimitsPanel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "app/gui/TypedKeyFilter.h"
#include "app/gui/lcd/CEdit.h"

namespace qm::gui {

namespace {

QColor ToQColor(TColor c) { return QColor(c.R, c.G, c.B); }

QLabel* NewLabel(const char* name, const QString& text, QPoint at, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->adjustSize();
  label->move(at);
  return label;
}

}  // namespace

TShapeDisc::TShapeDisc(QWidget* parent) : QWidget(parent), colour_(ToQColor(kPassColour)) {
  setObjectName(QStringLiteral("Shape1"));
}

void TShapeDisc::SetBrushColor(const QColor& colour) {
  if (colour == colour_) return;
  colour_ = colour;
  update();
}

void TShapeDisc::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(colour_);
  // The circle inscribed in the box, centred.
  const int d = std::min(width(), height()) - 1;
  p.drawEllipse(QRectF((width() - d) / 2.0, (height() - d) / 2.0, d, d));
}

TLimitsPanel::TLimitsPanel(TLimitComparator& comparator, std::string decimalSeparator, QWidget* parent)
    : QFrame(parent), comparator_(comparator), separator_(std::move(decimalSeparator)) {
  setObjectName(QStringLiteral("pnlSetComp"));
  setFrameShape(QFrame::StyledPanel);
  setFixedHeight(kHeight);
  QFont small = font();
  small.setPixelSize(11);  // "Measure Value:" fits left of its edit
  setFont(small);

  T1_HI = NewLabel("T1_HI", QStringLiteral("High Limit:"), {48, 16}, this);
  edtCompHigh = new QLineEdit(QString::fromStdString(comparator_.HighText()), this);
  edtCompHigh->setObjectName(QStringLiteral("edtCompHigh"));
  edtCompHigh->setGeometry(104, 8, 65, 20);

  T1_Value = NewLabel("T1_Value", QStringLiteral("Measure Value:"), {24, 40}, this);
  edtCurValue = new TCEdit(this);
  edtCurValue->setObjectName(QStringLiteral("edtCurValue"));
  edtCurValue->setGeometry(104, 34, 65, 20);
  edtCurValue->setReadOnly(true);
  edtCurValue->SetAlignment(TCEdit::taLeftJustify);
  edtCurValue->SetPassesFocusOn(true);  // edtCurValueEnter: the value never keeps the focus
  edtCurValue->setCursor(Qt::ArrowCursor);
  QPalette tip = edtCurValue->palette();
  tip.setColor(QPalette::Base, QColor(255, 255, 225));  // tooltip yellow
  edtCurValue->setPalette(tip);
  edtCurValue->setText(QString::fromStdString(comparator_.CurValueText()));

  T1_LO = NewLabel("T1_LO", QStringLiteral("Low Limit:"), {48, 65}, this);
  edtCompLow = new QLineEdit(QString::fromStdString(comparator_.LowText()), this);
  edtCompLow->setObjectName(QStringLiteral("edtCompLow"));
  edtCompLow->setGeometry(104, 59, 65, 20);

  Shape1 = new TShapeDisc(this);
  Shape1->setGeometry(248, 8, 97, 73);
  lblPass = new QLabel(QString::fromStdString(comparator_.Caption()), this);
  lblPass->setObjectName(QStringLiteral("lblPass"));
  lblPass->setGeometry(265, 32, 65, 25);
  lblPass->setAlignment(Qt::AlignCenter);
  lblPass->setAttribute(Qt::WA_TransparentForMouseEvents);
  QFont passFont(QStringLiteral("Arial"));
  passFont.setPixelSize(21);
  lblPass->setFont(passFont);
  QPalette white = lblPass->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  lblPass->setPalette(white);

  for (QLineEdit* edit : {edtCompHigh, edtCompLow}) {
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textChanged, this, [this, edit] { edtCompLowChange(edit); });
  }
  comparator_.OnChange.Set([this] { ShowVerdict(); });
  ShowVerdict();
}

TLimitsPanel::~TLimitsPanel() { comparator_.OnChange.Clear(); }

bool TLimitsPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && (watched == edtCompHigh || watched == edtCompLow))
    return edtCompHighKeyPress(static_cast<QLineEdit*>(watched), event);
  return QFrame::eventFilter(watched, event);
}

bool TLimitsPanel::edtCompHighKeyPress(QLineEdit*, QEvent* event) const {
  return DropsTypedKey(*static_cast<QKeyEvent*>(event),
                       [this](char key) { return LimitEditAcceptsKey(key, separator_); });
}

void TLimitsPanel::edtCompLowChange(QLineEdit* edit) {
  const std::string text = edit->text().toStdString();
  auto correction = edit == edtCompHigh ? comparator_.SetHighText(text) : comparator_.SetLowText(text);
  if (!correction) return;
  edit->setText(QString::fromStdString(correction->Text));  // checks again, and stands
  edit->setSelection(correction->SelStart, correction->SelLength);
}

void TLimitsPanel::ShowVerdict() {
  edtCurValue->setText(QString::fromStdString(comparator_.CurValueText()));
  lblPass->setText(QString::fromStdString(comparator_.Caption()));
  Shape1->SetBrushColor(ToQColor(comparator_.Colour()));
}

}  // namespace qm::gui
