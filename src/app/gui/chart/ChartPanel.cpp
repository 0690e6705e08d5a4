#include "app/gui/chart/ChartPanel.h"

#include <QHBoxLayout>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QSaveFile>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <string>

#include "app/gui/chart/ChartView.h"
#include "app/gui/lcd/CEdit.h"

namespace qm::gui {

namespace {

constexpr int kButtonSide = 24;
constexpr int kIconSide = 16;

QFrame* NewSeparator(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::VLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setFixedWidth(8);
  line->setFixedHeight(kButtonSide - 4);
  return line;
}

std::string ToStd(const QString& text) { return text.toStdString(); }

}  // namespace

TChartPanel::TChartPanel(TTrendChart& chart, TChartControl& control, IPrompt& prompt, QWidget* parent)
    : QFrame(parent), control_(control), prompt_(prompt), chartRange_(control.Range()) {
  setObjectName(QStringLiteral("pnlChartParent"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  BuildToolBar();
  column->addWidget(ToolBar2);

  Chart1 = new TChartView(chart, this);
  column->addWidget(Chart1, 1);

  timerChange = new QTimer(this);
  timerChange->setObjectName(QStringLiteral("timerChange"));
  timerChange->setInterval(kValidationDelayMs);
  timerChange->setSingleShot(true);
  connect(timerChange, &QTimer::timeout, this, [this] { timerChangeTimer(); });

  RefreshPageDisplay();
}

QToolButton* TChartPanel::NewToolButton(const char* name, const char* hint, TChartIcon icon) {
  auto* button = new QToolButton(ToolBar2);
  button->setObjectName(QLatin1String(name));
  button->setText(QLatin1String(hint));
  button->setToolTip(QLatin1String(hint));
  button->setIcon(ChartToolIcon(icon));
  button->setIconSize(QSize(kIconSide, kIconSide));
  button->setToolButtonStyle(Qt::ToolButtonIconOnly);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::TabFocus);
  button->setFixedSize(kButtonSide, kButtonSide);
  return button;
}

void TChartPanel::BuildToolBar() {
  ToolBar2 = new QFrame(this);
  ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
  auto* row = new QHBoxLayout(ToolBar2);
  row->setContentsMargins(2, 2, 2, 2);
  row->setSpacing(1);

  auto newEdit = [&](const char* name, const char* hint, const char* text, TCEdit::TAlignment alignment,
                     int width) {
    auto* edit = new TCEdit(ToolBar2);
    edit->setObjectName(QLatin1String(name));
    edit->setToolTip(QLatin1String(hint));
    edit->setText(QLatin1String(text));
    edit->SetAlignment(alignment);
    edit->setFixedSize(width, kButtonSide - 2);
    edit->installEventFilter(this);
    return edit;
  };

  edtRange = newEdit("edtRange", "Range", "", TCEdit::taRightJustify, 52);
  edtRange->setText(QString::number(chartRange_));
  btnFirst = NewToolButton("btnFirst", "First", TChartIcon::First);
  btnPrevious = NewToolButton("btnPrevious", "Previous", TChartIcon::Previous);
  edtCurPage = newEdit("edtCurPage", "CurrentPage", "1", TCEdit::taCenter, 48);
  edtCurPage->setReadOnly(true);
  edtCurPage->SetPassesFocusOn(true);
  btnNext = NewToolButton("btnNext", "Next", TChartIcon::Next);
  btnLast = NewToolButton("btnLast", "Last", TChartIcon::Last);
  btnNew = NewToolButton("btnNew", "Clear", TChartIcon::Clear);
  btnSave = NewToolButton("btnSave", "Save", TChartIcon::Save);
  btnFly = NewToolButton("btnFly", "Zoom +", TChartIcon::ZoomIn);
  btnChartZoomOut = NewToolButton("btnChartZoomOut", "Zoom -", TChartIcon::ZoomOut);
  btnChartZoomOut->hide();

  // The go-to group is not offered to the user.
  Panel6 = new QLabel(QStringLiteral("   Page: "), ToolBar2);
  Panel6->setObjectName(QStringLiteral("Panel6"));
  edtPage = newEdit("edtPage", "GotoPage", "1", TCEdit::taRightJustify, 48);
  btnGoPage = NewToolButton("btnGoPage", "GotoPage", TChartIcon::GoTo);
  for (QWidget* w : {static_cast<QWidget*>(Panel6), static_cast<QWidget*>(edtPage), static_cast<QWidget*>(btnGoPage)})
    w->hide();

  row->addWidget(edtRange);
  row->addWidget(NewSeparator(ToolBar2));
  row->addWidget(btnFirst);
  row->addWidget(btnPrevious);
  row->addWidget(edtCurPage);
  row->addWidget(btnNext);
  row->addWidget(btnLast);
  row->addWidget(NewSeparator(ToolBar2));
  row->addWidget(btnNew);
  row->addWidget(btnSave);
  row->addWidget(NewSeparator(ToolBar2));
  row->addWidget(btnFly);
  row->addWidget(btnChartZoomOut);
  row->addWidget(Panel6);
  row->addWidget(edtPage);
  row->addWidget(btnGoPage);
  row->addStretch(1);

  connect(edtRange, &QLineEdit::textChanged, this, [this] { edtRangeChange(); });
  connect(edtCurPage, &QLineEdit::textChanged, this, [this] { CheckPageText(edtCurPage); });
  connect(edtPage, &QLineEdit::textChanged, this, [this] { CheckPageText(edtPage); });
  connect(btnFirst, &QToolButton::clicked, this, [this] { btnFirstClick(); });
  connect(btnPrevious, &QToolButton::clicked, this, [this] { btnPreviousClick(); });
  connect(btnNext, &QToolButton::clicked, this, [this] { btnNextClick(); });
  connect(btnLast, &QToolButton::clicked, this, [this] { btnLastClick(); });
  connect(btnGoPage, &QToolButton::clicked, this, [this] { btnGoPageClick(); });
  connect(btnSave, &QToolButton::clicked, this, [this] { btnSaveClick(); });
  connect(btnNew, &QToolButton::clicked, this, [this] { Q_EMIT ClearRequested(); });
  connect(btnFly, &QToolButton::clicked, this, [this] { Q_EMIT ZoomInRequested(); });
  connect(btnChartZoomOut, &QToolButton::clicked, this, [this] { Q_EMIT ZoomOutRequested(); });
}

void TChartPanel::RefreshPageDisplay() { edtCurPage->setText(QString::number(control_.CurrentPage())); }

void TChartPanel::SetZoomed(bool zoomed) {
  btnFly->setVisible(!zoomed);
  btnChartZoomOut->setVisible(zoomed);
}

// ---- paging ----

void TChartPanel::btnFirstClick() {
  control_.FirstPage();
  RefreshPageDisplay();
}

void TChartPanel::btnPreviousClick() {
  control_.PriorPage();
  RefreshPageDisplay();
}

void TChartPanel::btnNextClick() {
  control_.NextPage();
  RefreshPageDisplay();
}

void TChartPanel::btnLastClick() {
  control_.LastPage();
  RefreshPageDisplay();
}

void TChartPanel::btnGoPageClick() {
  if (const auto page = ReadChartNumber(ToStd(edtPage->text()))) control_.GoToPage(*page);
  RefreshPageDisplay();
}

// ---- records per page ----

// Every change restarts the delay, so the entry is judged one second after the last keystroke.
void TChartPanel::edtRangeChange() {
  if (!restoringRange_) timerChange->start();
}

void TChartPanel::timerChangeTimer() {
  timerChange->stop();
  const std::string typed = ToStd(edtRange->text());
  const std::string shown = ApplyChartRangeText(typed, control_, chartRange_, prompt_);
  if (shown != typed) {
    // The restored text is valid already: it needs no second look.
    restoringRange_ = true;
    edtRange->setText(QString::fromStdString(shown));
    restoringRange_ = false;
  } else {
    RefreshPageDisplay();
  }
}

void TChartPanel::CheckPageText(TCEdit* edit) {
  if (ReadChartNumber(ToStd(edit->text()))) return;
  const QSignalBlocker quiet(edit);
  edit->setText(QString::number(control_.CurrentPage()));
  edit->setSelection(0, 1);
}

// The range and page edits take digits and backspace; other characters are dropped. Keys that
// type nothing (arrows, Delete, Tab) and shortcuts such as Ctrl+V pass: pasted text is checked
// like typed text.
bool TChartPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress &&
      (watched == edtRange || watched == edtCurPage || watched == edtPage)) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (!text.isEmpty() && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
      const char16_t c = text.front().unicode();
      const bool typesSomething = c >= 0x20 && c != 0x7f;
      if (typesSomething && (c > 0x7e || !ChartEditAcceptsKey(static_cast<char>(c)))) return true;
    }
  }
  return QFrame::eventFilter(watched, event);
}

// ---- picture ----

void TChartPanel::btnSaveClick() {
  const auto name = AskChartPictureFileName(prompt_);
  if (!name) return;
  const QImage picture = Chart1->Picture();
  // Written beside the target and renamed over it once complete, so a failed write leaves any
  // earlier picture of that name as it was.
  QSaveFile file(QString::fromStdString(*name));
  if (!file.open(QIODevice::WriteOnly)) {
    prompt_.ErrorReport("Cannot create file \"" + *name + "\". " + ToStd(file.errorString()));
    return;
  }
  QImageWriter writer(&file, "BMP");
  if (!writer.write(picture)) {
    file.cancelWriting();
    prompt_.ErrorReport("Cannot write file \"" + *name + "\". " + ToStd(writer.errorString()));
    return;
  }
  if (!file.commit()) prompt_.ErrorReport("Cannot write file \"" + *name + "\". " + ToStd(file.errorString()));
}

}  // namespace qm::gui
