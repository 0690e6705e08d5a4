// The device selection dialog: the chip family, then one bridge of it, when more than one bridge is
// attached. Its lists come from the selector through the dialog logic of the core.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "selector/frmDeviceSelect.h"

class QComboBox;
class QLabel;
class QPushButton;
class QFrame;

namespace qm::gui {

class TFormDeviceSelect : public QDialog {
  Q_OBJECT

 public:
  // Prepared as the selector prepares it: the chip list set and enabled as given, the device list
  // filled for that chip with the first device selected.
  TFormDeviceSelect(TDeviceSelector& Selector, bool ModelEnabled, TBridgeModel Model, QWidget* parent = nullptr);
  ~TFormDeviceSelect() override;

  // The chosen device path once OK was pressed; empty until then (and after OK on an empty list).
  std::string SelectedPath;

  // The chip list's change: a fresh enumeration of the chosen family.
  void cbbModelChange();
  void btnOKClick();

 private:
  void FillDevices();

  std::unique_ptr<TDeviceSelectState> state_;
  QFrame* pnl1;
  QFrame* pnl2;
  QLabel* lbl1;
  QLabel* lbl2;
  QComboBox* cbbModel;
  QComboBox* cbbDevs;
  QPushButton* btnOK;
  QPushButton* btnCancel;
};

// The selector's chooser in the window: shows the dialog modally over `parent`.
class TDialogChooser : public IDeviceChooser {
 public:
  explicit TDialogChooser(QWidget* parent) : parent_(parent) {}
  std::optional<std::string> Choose(TDeviceSelector& Selector, bool ModelEnabled, TBridgeModel Model) override;

  // How the dialog is run: exec() by default; tests answer it without a modal loop.
  std::function<int(TFormDeviceSelect&)> RunModal = [](TFormDeviceSelect& dialog) { return dialog.exec(); };

 private:
  QWidget* parent_;
};

}  // namespace qm::gui
