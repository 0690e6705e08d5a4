// The zoom window: a maximised modal window into which the log panel or the chart panel is moved
// while the user looks at it enlarged. At most one exists at a time.
#pragma once

#include <QDialog>

#include <functional>

class QFrame;

namespace qm::gui {

class TfrmSuperContainer : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kNormalWidth = 866;
  static constexpr int kNormalHeight = 540;

  explicit TfrmSuperContainer(QWidget* parent = nullptr);
  ~TfrmSuperContainer() override;

  // The zoom window in existence, if any.
  static TfrmSuperContainer* Current() { return current_; }
  QFrame* Panel1;

  // How the window is run: shown maximised and exec() by default; tests close it from inside.
  static std::function<int(TfrmSuperContainer&)> RunModal;

 private:
  static TfrmSuperContainer* current_;
};

// Shows `panel` alone in a zoom window until that is closed, then puts it back into `home` where it
// was. Does nothing while a zoom window exists. The panel goes home also when the window fails.
void ShowPanelZoomed(QWidget* panel, QWidget* home);

// Asks the zoom window to close, as its close box would; nothing without one.
void btnGridZoomoutClick();

}  // namespace qm::gui
