#include "app/gui/ufrmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QToolButton>
#include <QApplication>
#include <QActionGroup>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "app/gui/BackgroundJob.h"
#include "app/gui/Guard.h"
#include "app/gui/LimitsPanel.h"
#include "app/gui/ToolIcons.h"
#include "app/gui/TypedKeyFilter.h"
#include "app/gui/chart/ChartPanel.h"
#include "app/gui/chart/ChartView.h"
#include "app/gui/grid/LogGrid.h"
#include "app/gui/lcd/CEdit.h"
#include "app/gui/uMySuper.h"
#include "app/gui/MainThreadPump.h"
#include "app/gui/lcd/LcdFonts.h"
#include "app/gui/lcd/LcdPanel.h"
#include "common/CodePage.h"
#include "common/SystemLocale.h"
#include "protocol/CommandTable.h"
#include "recording/LogFiles.h"
#include "recording/Sampling.h"

namespace qm::gui {

namespace {

constexpr int kTopBarHeight = 33;
constexpr int kLeftColumnWidth = 444;
constexpr int kCommandPanelWidth = 117;
constexpr int kSetCompHeight = 97;
constexpr int kPauseButtonWidth = 143;
constexpr const char* kTag = "tag";

QFrame* NewPanel(const char* name, QWidget* parent, QFrame::Shape shape = QFrame::NoFrame) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QLatin1String(name));
  panel->setFrameShape(shape);
  return panel;
}

QString DisplayText(std::string_view bytes) {
  return QString::fromStdString(MeterTextToUtf8(bytes));
}

}  // namespace

template <typename F>
void TfrmMain::Handle(F&& handler) {
  Guarded(prompt_, std::forward<F>(handler));
}

TfrmMain::TfrmMain(IPrompt& prompt, TMainWindowOptions options, QWidget* parent)
    : QMainWindow(parent), prompt_(prompt), options_(std::move(options)), dialogChooser_(this) {
  setObjectName(QStringLiteral("frmMain"));
  // The window's controls use the meter program's small dialog face; the LCD panel sets its own.
  RegisterLcdFonts();
  QFont face(QStringLiteral("Arial"));
  face.setPixelSize(12);
  setFont(face);
  pump_ = std::make_unique<TMainThreadPump>(prompt_, this);
  FormCreate();
}

TfrmMain::~TfrmMain() { FormDestroy(); }

void TfrmMain::FormCreate() {
  // The protocol starts its command sequence at 1; the decimal separator is read once, here.
  TSessionSettings settings;
  settings.DecimalSeparator =
      options_.DecimalSeparator.empty() ? SystemDecimalSeparator() : options_.DecimalSeparator;
  settings.TimeSeparator = SystemTimeSeparator();
  settings.WatchdogInterval = options_.WatchdogInterval;
  // The session creates the chart control (a page of 100 records), the log, the record limit,
  // the chart range and the sampling interval, hides the fill series and resets the value range.
  session_ = std::make_unique<TMeterSession>(prompt_, settings);

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("pnlClient"));
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  setCentralWidget(central);
  BuildTopBar(central);
  BuildMainArea(central);
  BuildRecordMenu();

  setWindowTitle(QString::fromLatin1(kCaption));
  resize(kWidth, kHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())  // centred on the desktop
    move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));

  timerDisconectedUSB = new QTimer(this);
  timerDisconectedUSB->setObjectName(QStringLiteral("timerDisconectedUSB"));
  timerDisconectedUSB->setSingleShot(true);
  timerDisconectedUSB->setInterval(options_.WatchdogInterval);
  connect(timerDisconectedUSB, &QTimer::timeout, this, [this] { Handle([&] { timerDisconectedUSBTimer(); }); });

  Timer_cmddelay = new QTimer(this);
  Timer_cmddelay->setObjectName(QStringLiteral("Timer_cmddelay"));
  Timer_cmddelay->setInterval(options_.CommandLockout);
  connect(Timer_cmddelay, &QTimer::timeout, this, [this] { Handle([&] { Timer_cmddelayTimer(); }); });

  timerInputDelay = new QTimer(this);
  timerInputDelay->setObjectName(QStringLiteral("timerInputDelay"));
  timerInputDelay->setInterval(options_.InputDelay);
  timerInputDelay->setSingleShot(true);
  connect(timerInputDelay, &QTimer::timeout, this, [this] { Handle([&] { timerInputDelayTimer(); }); });

  timerInterval = new QTimer(this);
  timerInterval->setObjectName(QStringLiteral("timerInterval"));
  timerInterval->setInterval(static_cast<int>(session_->Sampling().PeriodMs()));
  connect(timerInterval, &QTimer::timeout, this, [this] { Handle([&] { timerIntervalTimer(); }); });

  session_->Protocol().SetView(this);
  session_->BindSelector(&DeviceSelector1);
  DeviceSelector1.SetChooser(&dialogChooser_);
  session_->OnConnected.Add([this] { CP21041Connect(); });
  session_->OnDisconnected.Add([this] { CP21041Disconnect(); });
}

void TfrmMain::FormDestroy() {
  destroying_ = true;
  // Closing raises OnClosed, so the window shows the link closed while its controls still exist.
  DeviceSelector1.Close();
  session_->Protocol().SetView(nullptr);
  session_->BindSelector(nullptr);
  // The views watch the session's models: they go before the session does.
  delete centralWidget();
}

void TfrmMain::closeEvent(QCloseEvent* event) { event->accept(); }

// ---- layout ----

void TfrmMain::BuildTopBar(QWidget* central) {
  Panel5 = NewPanel("Panel5", central, QFrame::StyledPanel);
  Panel5->setFixedHeight(kTopBarHeight);
  auto* row = new QHBoxLayout(Panel5);
  row->setContentsMargins(4, 3, 4, 3);
  btnConnect = new QPushButton(QStringLiteral("USB Connection"), Panel5);
  btnConnect->setObjectName(QStringLiteral("btnConnect"));
  btnConnect->setCheckable(true);
  btnConnect->setMinimumWidth(120);
  btnExit = new QPushButton(QStringLiteral("Quit"), Panel5);
  btnExit->setObjectName(QStringLiteral("btnExit"));
  btnHideCmd = new QPushButton(QStringLiteral("-->"), Panel5);
  btnHideCmd->setObjectName(QStringLiteral("btnHideCmd"));
  btnHideCmd->setFixedWidth(40);
  row->addWidget(btnConnect);
  row->addStretch(1);
  row->addWidget(btnExit);
  row->addSpacing(16);
  row->addWidget(btnHideCmd);
  central->layout()->addWidget(Panel5);

  // The user's click, not the toggled state: the program sets the pressed state itself.
  connect(btnConnect, &QPushButton::clicked, this, [this] {
    Handle([&] { btnConnectClick(); });
    btnConnect->setChecked(session_->IsOpen());  // also after a failure
  });
  connect(btnExit, &QPushButton::clicked, this, [this] { btnExitClick(); });
  connect(btnHideCmd, &QPushButton::clicked, this, [this] { Handle([&] { btnHideCmdClick(); }); });
}

void TfrmMain::BuildMainArea(QWidget* central) {
  Panel1 = NewPanel("Panel1", central);
  auto* row = new QHBoxLayout(Panel1);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  central->layout()->addWidget(Panel1);

  Splitter1 = new QSplitter(Qt::Horizontal, Panel1);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setChildrenCollapsible(false);
  Splitter1->setHandleWidth(4);
  row->addWidget(Splitter1, 1);

  // Left column: the LCD panel above the log area (its toolbar, the log-mode bar and the grid).
  Panel2 = NewPanel("Panel2", Splitter1);
  Panel2->setMinimumWidth(kLeftColumnWidth);
  auto* left = new QVBoxLayout(Panel2);
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(0);
  pnlLcd = new TLcdPanel(Panel2);
  left->addWidget(pnlLcd, 0, Qt::AlignTop | Qt::AlignLeft);
  pnlGridParent = NewPanel("pnlGridParent", Panel2);
  auto* gridColumn = new QVBoxLayout(pnlGridParent);
  gridColumn->setContentsMargins(0, 0, 0, 0);
  gridColumn->setSpacing(0);
  BuildLogToolbar(pnlGridParent);
  gridColumn->addWidget(ToolBar1);
  pnlPause = NewPanel("pnlPause", pnlGridParent);
  auto* pauseRow = new QHBoxLayout(pnlPause);
  pauseRow->setContentsMargins(2, 2, 2, 2);
  btnPause = new QPushButton(QStringLiteral("Log Data Mode Enabled"), pnlPause);
  btnPause->setObjectName(QStringLiteral("btnPause"));
  btnPause->setCheckable(true);
  btnPause->setFixedWidth(kPauseButtonWidth);
  pauseRow->addWidget(btnPause);
  pauseRow->addStretch(1);
  gridColumn->addWidget(pnlPause);
  DBGrid1 = BuildGrid(pnlGridParent);
  gridColumn->addWidget(DBGrid1, 1);
  left->addWidget(pnlGridParent, 1);
  connect(btnPause, &QPushButton::clicked, this, [this] { Handle([&] { btnPauseClick(); }); });

  // Middle column: the limits panel above the chart area.
  Panel4 = NewPanel("Panel4", Splitter1);
  auto* middle = new QVBoxLayout(Panel4);
  middle->setContentsMargins(0, 0, 0, 0);
  middle->setSpacing(0);
  pnlSetComp = new TLimitsPanel(session_->Comparator(), session_->DecimalSeparator(), Panel4);
  middle->addWidget(pnlSetComp);
  pnlChartHome = NewPanel("pnlChartHome", Panel4);
  auto* chartHome = new QVBoxLayout(pnlChartHome);
  chartHome->setContentsMargins(0, 0, 0, 0);
  pnlChartParent = BuildChartArea(pnlChartHome);
  chartHome->addWidget(pnlChartParent, 1);
  middle->addWidget(pnlChartHome, 1);

  Splitter1->addWidget(Panel2);
  Splitter1->addWidget(Panel4);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({kLeftColumnWidth, kWidth - kLeftColumnWidth - kCommandPanelWidth});

  BuildCommandPanel();
  row->addWidget(pnlCommand);
}

void TfrmMain::BuildCommandPanel() {
  pnlCommand = NewPanel("pnlCommand", Panel1, QFrame::StyledPanel);
  pnlCommand->setFixedWidth(kCommandPanelWidth);
  pnlCommand->setEnabled(false);
  QFont small = font();
  small.setPixelSize(11);  // "StopAuto/SaveData" fits a 99-pixel button
  pnlCommand->setFont(small);
  const int left = (kCommandPanelWidth - kCommandButtonWidth) / 2;
  int bottom = 0;
  for (const TCommandButton& b : kCommandButtons) {
    auto* button = new QPushButton(QString::fromLatin1(b.Caption.data(), static_cast<int>(b.Caption.size())), pnlCommand);
    button->setObjectName(QString::fromLatin1(b.Name.data(), static_cast<int>(b.Name.size())));
    button->setGeometry(left, b.Top, kCommandButtonWidth, kCommandButtonHeight);
    button->setProperty(kTag, b.Code);
    bottom = std::max(bottom, b.Top + kCommandButtonHeight);
    if (!b.Menu.empty()) {
      auto* menu = new QMenu(this);
      menu->setObjectName(QString::fromLatin1(b.Menu.data(), static_cast<int>(b.Menu.size())));
      for (const TCommandMenuItem& m : kCommandMenuItems) {
        if (m.Menu != b.Menu) continue;
        QAction* item = menu->addAction(QString::fromLatin1(m.Caption.data(), static_cast<int>(m.Caption.size())));
        item->setObjectName(QString::fromLatin1(m.Name.data(), static_cast<int>(m.Name.size())));
        item->setProperty(kTag, m.Code);
        connect(item, &QAction::triggered, this, [this, item] { Handle([&] { btnCmdClick(item); }); });
      }
      if (b.Menu == "pmAutoPower") pmAutoPower = menu;
      if (b.Menu == "pmBackLight") pmBackLight = menu;
      if (b.Menu == "pmCmdFreqMode") pmCmdFreqMode = menu;
      connect(button, &QPushButton::clicked, this, [this, button, menu] { Handle([&] { btnCmdPopupClick(button, menu); }); });
    } else if (b.Name == "btnExportData") {
      connect(button, &QPushButton::clicked, this, [this] { Handle([&] { btnExportDataClick(); }); });
    } else {
      connect(button, &QPushButton::clicked, this, [this, button] { Handle([&] { btnCmdClick(button); }); });
    }
  }
  pnlCommand->setMinimumHeight(bottom + 8);
}

void TfrmMain::BuildRecordMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("menu1"));
  QMenu* record = bar->addMenu(QStringLiteral("Record"));
  record->setObjectName(QStringLiteral("mniRecord1"));
  QAction* clear = record->addAction(QStringLiteral("Clear"));
  clear->setObjectName(QStringLiteral("mniNew1"));
  connect(clear, &QAction::triggered, this, [this] { Handle([&] { btnRecordNewClick(); }); });
  QAction* save = record->addAction(QStringLiteral("Save"));
  save->setObjectName(QStringLiteral("mniSave1"));
  connect(save, &QAction::triggered, this, [this] { Handle([&] { btnRecordSaveClick(); }); });
  record->addSeparator();
  auto* limits = new QActionGroup(record);
  limits->setExclusive(true);
  for (std::size_t i = 0; i < kRecordLimitItems.size(); ++i) {
    const TRecordLimitItem& item = kRecordLimitItems[i];
    QAction* a = record->addAction(QString::fromLatin1(item.Caption.data(), static_cast<int>(item.Caption.size())));
    a->setObjectName(QString::fromLatin1(item.Name.data(), static_cast<int>(item.Name.size())));
    a->setCheckable(true);
    a->setChecked(i == session_->Recorder().CheckedRecordLimitItem());
    limits->addAction(a);
    connect(a, &QAction::triggered, this, [this, i] { Handle([&] { session_->Recorder().mniN10001Click(i); }); });
  }
}

void TfrmMain::SetStatusNote(const QString& note) {
  if (!statusNote_) {
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusNote_ = new QLabel(statusBar());
    statusNote_->setObjectName(QStringLiteral("lblStatusNote"));
    statusBar()->addWidget(statusNote_);
  }
  statusNote_->setText(note);
  statusBar()->setVisible(!note.isEmpty());
}

static QToolButton* NewToolButton(const char* name, const char* hint, TToolIcon icon, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QLatin1String(name));
  button->setToolTip(QLatin1String(hint));
  button->setIcon(ToolIcon(icon));
  button->setIconSize(QSize(18, 18));
  button->setAutoRaise(true);
  return button;
}

void TfrmMain::BuildLogToolbar(QWidget* parent) {
  ToolBar1 = NewPanel("ToolBar1", parent);
  auto* row = new QHBoxLayout(ToolBar1);
  row->setContentsMargins(2, 1, 2, 1);
  row->setSpacing(1);
  btnRecordNew = NewToolButton("btnRecordNew", "Clear Log Data", TToolIcon::Clear, ToolBar1);
  btnRecordSave = NewToolButton("btnRecordSave", "Save Log Data", TToolIcon::Save, ToolBar1);
  btnRecordOpen = NewToolButton("btnRecordOpen", "Open Log Data", TToolIcon::Open, ToolBar1);
  btnRecordPrint = NewToolButton("btnRecordPrint", "Print Log Data", TToolIcon::Print, ToolBar1);
  btnRecordFly = NewToolButton("btnRecordFly", "Zomm +", TToolIcon::ZoomIn, ToolBar1);
  btnGridZoomout = NewToolButton("btnGridZoomout", "Zoom -", TToolIcon::ZoomOut, ToolBar1);
  btnGridZoomout->hide();
  for (QToolButton* b : {btnRecordNew, btnRecordSave, btnRecordOpen, btnRecordPrint}) row->addWidget(b);
  row->addSpacing(10);

  cbInterval = new QCheckBox(QStringLiteral("Sampling Interval"), ToolBar1);
  cbInterval->setObjectName(QStringLiteral("cbInterval"));
  edtRecInterval = new TCEdit(ToolBar1);
  edtRecInterval->setObjectName(QStringLiteral("edtRecInterval"));
  edtRecInterval->SetAlignment(TCEdit::taRightJustify);
  edtRecInterval->setText(QString::number(session_->Sampling().Seconds()));
  edtRecInterval->setFixedWidth(64);
  edtRecInterval->installEventFilter(this);
  auto* unit = new QLabel(QStringLiteral(" S  "), ToolBar1);
  unit->setObjectName(QStringLiteral("lblRecIntervalUnit"));
  row->addWidget(cbInterval);
  row->addSpacing(4);
  row->addWidget(edtRecInterval);
  row->addWidget(unit);
  row->addStretch(1);
  row->addWidget(btnRecordFly);
  row->addWidget(btnGridZoomout);

  connect(btnRecordNew, &QToolButton::clicked, this, [this] { Handle([&] { btnRecordNewClick(); }); });
  connect(btnRecordSave, &QToolButton::clicked, this, [this] { Handle([&] { btnRecordSaveClick(); }); });
  connect(btnRecordOpen, &QToolButton::clicked, this, [this] { Handle([&] { btnRecordOpenClick(); }); });
  connect(btnRecordPrint, &QToolButton::clicked, this, [this] { Handle([&] { btnRecordPrintClick(); }); });
  connect(btnRecordFly, &QToolButton::clicked, this, [this] { Handle([&] { btnRecordFlyClick(); }); });
  connect(btnGridZoomout, &QToolButton::clicked, this, [this] { Handle([&] { btnGridZoomoutClick(); }); });
  connect(cbInterval, &QCheckBox::clicked, this, [this] { Handle([&] { cbIntervalClick(); }); });
  connect(edtRecInterval, &QLineEdit::textChanged, this, [this] { Handle([&] { CEdit2Change(); }); });
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  // CEdit2KeyPress: the interval edit takes digits and backspace only.
  if (watched == edtRecInterval && event->type() == QEvent::KeyPress)
    return DropsTypedKey(*static_cast<QKeyEvent*>(event), [this](char key) { return CEdit2KeyPress(key); });
  return QMainWindow::eventFilter(watched, event);
}

TLogGrid* TfrmMain::BuildGrid(QWidget* parent) {
  auto* grid = new TLogGrid(session_->Log(), parent);
  QFont small = font();
  small.setPixelSize(11);  // the narrow columns of the meter program's grid
  grid->setFont(small);
  return grid;
}

TChartPanel* TfrmMain::BuildChartArea(QWidget* parent) {
  auto* panel = new TChartPanel(session_->Chart(), session_->ChartControl(), prompt_, parent);
  panel->Chart().SetDecimalSeparator(QString::fromStdString(session_->DecimalSeparator()));
  connect(panel, &TChartPanel::ClearRequested, this, [this] { Handle([&] { btnRecordNewClick(); }); });
  connect(panel, &TChartPanel::ZoomInRequested, this, [this] { Handle([&] { btnFlyClick(); }); });
  connect(panel, &TChartPanel::ZoomOutRequested, this, [this] { Handle([&] { btnGridZoomoutClick(); }); });
  return panel;
}

// ---- the log ----

void TfrmMain::btnRecordNewClick() { session_->Recorder().btnRecordNewClick(prompt_); }

void TfrmMain::RunFileJob(const QString& label, const std::function<void(const TJobProgress&)>& work) {
  fileJob_ = true;
  struct TDone {
    TfrmMain& w;
    ~TDone() {
      w.fileJob_ = false;
      if (std::exchange(w.tickMissed_, false)) w.timerIntervalTimer();
    }
  } done{*this};
  RunInBackground(this, *pump_, label, work);
}

void TfrmMain::btnRecordSaveClick() {
  auto name = prompt_.SaveFileName(std::string(kSaveLogFilter), std::string(kSaveLogDefaultExt), true);
  if (!name) return;
  TLogWriteResult written;
  RunFileJob(QStringLiteral("Saving the log..."),
             [&](const TLogProgress& progress) { written = WriteLogFile(session_->Log(), *name, progress); });
  ReportLogWrite(session_->Log(), written, prompt_);
}

void TfrmMain::btnRecordOpenClick() {
  auto name = prompt_.OpenFileName(std::string(kOpenLogFilter));
  if (!name) return;
  TLogReadResult read;
  RunFileJob(QStringLiteral("Loading the log..."),
             [&](const TLogProgress& progress) { read = ReadLogFile(*name, progress); });
  ApplyLogRead(std::move(read), session_->Log(), false, prompt_);
}

void TfrmMain::btnRecordPrintClick() {
  // The watchdog is suspended while the report is open: the user may read it for a long time.
  const bool watching = timerDisconectedUSB->isActive();
  timerDisconectedUSB->stop();
  struct TResume {
    TfrmMain& w;
    bool watching;
    ~TResume() {
      // Started again only if it ran before, and only while the link is still open.
      if (!watching || !w.session_->IsOpen()) return;
      w.session_->Watchdog().Start();
      w.ArmWatchdog();
    }
  } resume{*this, watching};
  PreviewLogReport(session_->Log(), prompt_, this, PrintRunner);
}

QPixmap TfrmMain::PreviewPicture() {
  QPixmap picture;
  PreviewLogReport(session_->Log(), prompt_, this, [&](TfrmPrintPreview& preview) {
    preview.resize(kWidth, kHeight);
    preview.show();
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    picture = preview.grab();
  });
  return picture;
}

void TfrmMain::btnRecordFlyClick() {
  TLogGrid* grid = DBGrid1;
  const std::vector<int> widths = grid->ColumnWidths();
  btnRecordFly->hide();
  btnGridZoomout->show();
  grid->SetColumnWidths({TLogGrid::kZoomColumnWidths.begin(), TLogGrid::kZoomColumnWidths.end()});
  struct TAfter {
    TfrmMain& w;
    TLogGrid* grid;
    const std::vector<int>& widths;
    ~TAfter() {
      grid->SetColumnWidths(widths);  // a width changed while zoomed is not kept
      w.raise();
      w.activateWindow();
      w.btnRecordFly->show();
      w.btnGridZoomout->hide();
    }
  } after{*this, grid, widths};
  ShowPanelZoomed(pnlGridParent, Panel2);
}

void TfrmMain::btnFlyClick() {
  pnlChartParent->SetZoomed(true);
  struct TAfter {
    TChartPanel* panel;
    ~TAfter() { panel->SetZoomed(false); }
  } after{pnlChartParent};
  ShowPanelZoomed(pnlChartParent, pnlChartHome);
}

void TfrmMain::btnGridZoomoutClick() { qm::gui::btnGridZoomoutClick(); }

// ---- sampling ----

void TfrmMain::cbIntervalClick() {
  session_->Sampling().cbIntervalClick(cbInterval->isChecked());
  if (cbInterval->isChecked())
    timerInterval->start(static_cast<int>(session_->Sampling().PeriodMs()));
  else
    timerInterval->stop();
}

void TfrmMain::CEdit2Change() { timerInputDelay->start(); }

void TfrmMain::timerInputDelayTimer() {
  timerInputDelay->stop();
  if (auto restore = session_->Sampling().timerInputDelayTimer(edtRecInterval->text().toStdString(), prompt_)) {
    edtRecInterval->setText(QString::fromStdString(*restore));  // checked again a second later
    return;
  }
  // A new period applies at once; the next tick comes one new period later.
  const int period = static_cast<int>(session_->Sampling().PeriodMs());
  if (timerInterval->isActive())
    timerInterval->start(period);
  else
    timerInterval->setInterval(period);
}

void TfrmMain::timerIntervalTimer() {
  if (fileJob_) {
    tickMissed_ = true;  // a worker reads the log: append once it is done
    return;
  }
  session_->timerIntervalTimer();
}

// ---- connection and watchdog ----

void TfrmMain::btnConnectClick() {
  session_->btnConnectClick();
  // Opening or closing has set the button through OnOpened / OnClosed; a failed open releases it.
  btnConnect->setChecked(session_->IsOpen());
}

void TfrmMain::CP21041Connect() {
  btnConnect->setChecked(true);
  btnConnect->setText(QStringLiteral("USB Disconnect"));
  pnlLcd->SetUsbVisible(true);
  pnlCommand->setEnabled(true);
  Panel1->setEnabled(true);
  // Disconnecting disables the limits panel; connecting enables it again, or the limit edits
  // would stay dead for the rest of the run.
  pnlSetComp->setEnabled(true);
  ArmWatchdog();
}

void TfrmMain::CP21041Disconnect() {
  btnConnect->setChecked(false);
  btnConnect->setText(QStringLiteral("USB Connection"));
  pnlLcd->SetUsbVisible(false);
  pnlCommand->setEnabled(false);
  pnlSetComp->setEnabled(false);
  timerDisconectedUSB->stop();
}

void TfrmMain::ArmWatchdog() {
  using namespace std::chrono;
  const TLinkWatchdog& w = session_->Watchdog();
  if (!w.Enabled()) {
    timerDisconectedUSB->stop();
    return;
  }
  // One timer shot per watchdog period, not one restart per chunk: the shot checks the deadline
  // that every chunk has pushed on, and sleeps again for what is left of it.
  auto left = duration_cast<milliseconds>(w.Deadline() - TLinkWatchdog::Clock::now());
  timerDisconectedUSB->start(std::max(left + milliseconds(1), milliseconds(1)));
}

void TfrmMain::timerDisconectedUSBTimer() {
  if (pump_->Busy()) {
    // A box opened while a chunk is handled (the end of a download) holds the read thread; the
    // meter is not silent, it just cannot be heard until the box is closed.
    session_->Watchdog().RestartWatchdog();
    ArmWatchdog();
    return;
  }
  if (session_->CheckWatchdog()) return;  // closed (OnClosed stopped the timer) and reported
  ArmWatchdog();
}

// ---- command panel ----

void TfrmMain::btnCmdClick(QObject* Sender) {
  session_->Protocol().SendCommand(static_cast<std::uint8_t>(Sender->property(kTag).toInt() & 0xFF));
  pnlCommand->setEnabled(false);
  Timer_cmddelay->start();
}

void TfrmMain::Timer_cmddelayTimer() {
  Timer_cmddelay->stop();
  // A link closed during the lock-out leaves the panel disabled.
  pnlCommand->setEnabled(session_->IsOpen());
}

void TfrmMain::btnCmdPopupClick(QPushButton* button, QMenu* menu) {
  // Top-left corner of the menu at the bottom-left corner of the button.
  menu->popup(button->mapToGlobal(QPoint(0, button->height())));
}

void TfrmMain::btnHideCmdClick() {
  pnlCommand->setVisible(pnlCommand->isHidden());
  btnHideCmd->setText(pnlCommand->isHidden() ? QStringLiteral("<--") : QStringLiteral("-->"));
}

void TfrmMain::btnExportDataClick() { session_->Protocol().btnExportDataClick(); }

void TfrmMain::btnPauseClick() { session_->Protocol().btnPauseClick(btnPause->isChecked()); }

// ---- the protocol's view ----

void TfrmMain::SetCaption(TLcdControl control, std::string_view bytes) { pnlLcd->SetCaption(control, DisplayText(bytes)); }

void TfrmMain::SetWideCaption(TLcdControl control, std::u16string_view text) {
  pnlLcd->SetCaption(control, QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
}

void TfrmMain::SetVisible(TLcdControl control, bool visible) { pnlLcd->SetControlVisible(control, visible); }

void TfrmMain::SetActivityIndicator(bool conOkVisible) { pnlLcd->SetActivityIndicator(conOkVisible); }

void TfrmMain::SetPauseButton(bool pressed, bool redFont, std::string_view caption) {
  btnPause->setChecked(pressed);
  QPalette palette = btnPause->palette();
  palette.setColor(QPalette::ButtonText, redFont ? QColor(Qt::red) : QApplication::palette().color(QPalette::ButtonText));
  btnPause->setPalette(palette);
  btnPause->setText(QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())));
}

void TfrmMain::SetCommandPanelEnabled(bool enabled) { pnlCommand->setEnabled(enabled); }

}  // namespace qm::gui
