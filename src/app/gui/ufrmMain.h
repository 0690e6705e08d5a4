// The main window: the meter's LCD panel, the log and chart regions, the limits panel, the command
// panel and the connection button. It shows the session's state and forwards the user's actions;
// the protocol, the recording and the connection logic live in the core.
#pragma once

#include <QMainWindow>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/MeterSession.h"
#include "app/gui/BackgroundJob.h"
#include "app/gui/FormDeviceSelect.h"
#include "app/gui/report/PrintPreview.h"
#include "protocol/MeterProtocolPorts.h"
#include "selector/uDeviceSelector.h"

class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QTimer;
class QToolButton;

namespace qm::gui {

class TCEdit;
class TChartPanel;
class TLcdPanel;
class TLimitsPanel;
class TLogGrid;
class TMainThreadPump;

struct TMainWindowOptions {
  // The system locale's decimal separator when empty.
  std::string DecimalSeparator;
  std::chrono::milliseconds WatchdogInterval = TLinkWatchdog::kInterval;
  std::chrono::milliseconds CommandLockout{500};
  std::chrono::milliseconds InputDelay{1000};  // the validation delay of the interval and range edits
};

class TfrmMain : public QMainWindow, private IMeterView {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "QM-7310P Interface Program Version:1.05";
  static constexpr int kWidth = 1076;
  static constexpr int kHeight = 700;

  explicit TfrmMain(IPrompt& prompt, TMainWindowOptions options = {}, QWidget* parent = nullptr);
  // Closes the link (raising OnClosed) before any control goes.
  ~TfrmMain() override;

  TMeterSession& Session() { return *session_; }
  TDeviceSelector& Selector() { return DeviceSelector1; }
  TLcdPanel& Lcd() { return *pnlLcd; }
  TMainThreadPump& Pump() { return *pump_; }
  // Who picks among several bridges: the device dialog unless a test sets another chooser.
  void SetChooser(IDeviceChooser* chooser) { DeviceSelector1.SetChooser(chooser ? chooser : &dialogChooser_); }
  TDialogChooser& DialogChooser() { return dialogChooser_; }
  // The first page of the print preview of the log, as the preview shows it.
  QPixmap PreviewPicture();
  // How the print preview is run: modally by default; tests drive it without a modal loop.
  TPreviewRunner PrintRunner;
  // A note in the status bar (the simulated meter in use); empty hides it.
  void SetStatusNote(const QString& note);

  // ---- handlers ----
  void btnConnectClick();
  void btnExitClick() { close(); }
  void btnHideCmdClick();
  void btnCmdClick(QObject* Sender);
  void btnCmdPopupClick(QPushButton* button, QMenu* menu);
  void btnExportDataClick();
  void btnPauseClick();
  void Timer_cmddelayTimer();
  void timerDisconectedUSBTimer();
  void CP21041Connect();
  void CP21041Disconnect();
  // The log toolbar, the Record menu and the sampling controls.
  void btnRecordNewClick();
  void btnRecordSaveClick();
  void btnRecordOpenClick();
  void btnRecordPrintClick();
  void btnRecordFlyClick();
  void btnFlyClick();
  void btnGridZoomoutClick();
  void cbIntervalClick();
  void CEdit2Change();
  void timerInputDelayTimer();
  void timerIntervalTimer();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // IMeterView
  void SetCaption(TLcdControl control, std::string_view bytes) override;
  void SetWideCaption(TLcdControl control, std::u16string_view text) override;
  void SetVisible(TLcdControl control, bool visible) override;
  void SetActivityIndicator(bool conOkVisible) override;
  void SetPauseButton(bool pressed, bool redFont, std::string_view caption) override;
  void SetCommandPanelEnabled(bool enabled) override;

  void FormCreate();
  void FormDestroy();
  void BuildTopBar(QWidget* central);
  void BuildMainArea(QWidget* central);
  void BuildCommandPanel();
  void BuildRecordMenu();
  void BuildLogToolbar(QWidget* parent);
  TChartPanel* BuildChartArea(QWidget* parent);
  TLogGrid* BuildGrid(QWidget* parent);
  // Runs file work on a worker thread with the window alive; sampling ticks wait for it.
  void RunFileJob(const QString& label, const std::function<void(const TJobProgress&)>& work);
  void ArmWatchdog();
  template <typename F>
  void Handle(F&& handler);

  IPrompt& prompt_;
  TMainWindowOptions options_;
  std::unique_ptr<TMainThreadPump> pump_;
  TDeviceSelector DeviceSelector1;
  TDialogChooser dialogChooser_;
  std::unique_ptr<TMeterSession> session_;
  bool destroying_ = false;

  QFrame* Panel5 = nullptr;
  QPushButton* btnConnect = nullptr;
  QPushButton* btnExit = nullptr;
  QPushButton* btnHideCmd = nullptr;
  QFrame* Panel1 = nullptr;
  QSplitter* Splitter1 = nullptr;
  QFrame* Panel2 = nullptr;
  TLcdPanel* pnlLcd = nullptr;
  QFrame* pnlGridParent = nullptr;
  QFrame* pnlPause = nullptr;
  QPushButton* btnPause = nullptr;
  QFrame* Panel4 = nullptr;
  TLimitsPanel* pnlSetComp = nullptr;
  QFrame* pnlChartHome = nullptr;
  TChartPanel* pnlChartParent = nullptr;
  TLogGrid* DBGrid1 = nullptr;
  QFrame* ToolBar1 = nullptr;
  QToolButton* btnRecordNew = nullptr;
  QToolButton* btnRecordSave = nullptr;
  QToolButton* btnRecordOpen = nullptr;
  QToolButton* btnRecordPrint = nullptr;
  QToolButton* btnRecordFly = nullptr;
  QToolButton* btnGridZoomout = nullptr;
  QCheckBox* cbInterval = nullptr;
  TCEdit* edtRecInterval = nullptr;
  QTimer* timerInputDelay = nullptr;
  QTimer* timerInterval = nullptr;
  bool fileJob_ = false;
  bool tickMissed_ = false;
  QFrame* pnlCommand = nullptr;
  QMenu* pmAutoPower = nullptr;
  QMenu* pmBackLight = nullptr;
  QMenu* pmCmdFreqMode = nullptr;
  QTimer* timerDisconectedUSB = nullptr;
  QTimer* Timer_cmddelay = nullptr;
  QLabel* statusNote_ = nullptr;
};

}  // namespace qm::gui
