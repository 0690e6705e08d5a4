#include "app/gui/FormDeviceSelect.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm::gui {

TFormDeviceSelect::TFormDeviceSelect(TDeviceSelector& Selector, bool ModelEnabled, TBridgeModel Model,
                                     QWidget* parent)
    : QDialog(parent), state_(std::make_unique<TDeviceSelectState>(Selector, ModelEnabled, Model)) {
  setObjectName(QStringLiteral("FormDeviceSelect"));
  setWindowTitle(QStringLiteral("Device List"));
  QFont dialogFont(QStringLiteral("Tahoma"));
  dialogFont.setPointSize(8);
  setFont(dialogFont);

  pnl1 = new QFrame(this);
  pnl1->setObjectName(QStringLiteral("pnl1"));
  lbl1 = new QLabel(QStringLiteral("IC:"), pnl1);
  lbl1->setObjectName(QStringLiteral("lbl1"));
  cbbModel = new QComboBox(pnl1);
  cbbModel->setObjectName(QStringLiteral("cbbModel"));
  cbbModel->addItems({QStringLiteral("CH9329"), QStringLiteral("CP2110")});
  cbbModel->setFixedWidth(145);
  lbl2 = new QLabel(QStringLiteral("Devies:"), pnl1);
  lbl2->setObjectName(QStringLiteral("lbl2"));
  cbbDevs = new QComboBox(pnl1);
  cbbDevs->setObjectName(QStringLiteral("cbbDevs"));
  cbbDevs->setMinimumWidth(368);
  cbbDevs->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

  auto* grid = new QGridLayout(pnl1);
  grid->setContentsMargins(12, 12, 12, 4);
  grid->addWidget(lbl1, 0, 0, Qt::AlignRight);
  grid->addWidget(cbbModel, 0, 1, Qt::AlignLeft);
  grid->addWidget(lbl2, 1, 0, Qt::AlignRight);
  grid->addWidget(cbbDevs, 1, 1);
  grid->setColumnStretch(1, 1);

  pnl2 = new QFrame(this);
  pnl2->setObjectName(QStringLiteral("pnl2"));
  pnl2->setFixedHeight(49);
  btnOK = new QPushButton(QStringLiteral("OK"), pnl2);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnCancel = new QPushButton(QStringLiteral("Cancel"), pnl2);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  for (QPushButton* b : {btnOK, btnCancel}) b->setFixedSize(75, 25);
  btnOK->setDefault(true);
  auto* buttons = new QHBoxLayout(pnl2);
  buttons->setContentsMargins(8, 12, 12, 12);
  buttons->addStretch(1);
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(pnl1, 1);
  layout->addWidget(pnl2);
  resize(437, 134);

  // Set from code, the chip doesn't raise the change: the state has filled the list already.
  cbbModel->setCurrentIndex(state_->Model() == bmCP2110 ? 1 : 0);
  cbbModel->setEnabled(state_->ModelEnabled());
  FillDevices();

  connect(cbbModel, &QComboBox::activated, this, [this] { cbbModelChange(); });
  connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFormDeviceSelect::~TFormDeviceSelect() = default;

void TFormDeviceSelect::FillDevices() {
  cbbDevs->clear();
  for (const std::string& path : state_->Devices()) cbbDevs->addItem(QString::fromStdString(path));
  cbbDevs->setCurrentIndex(state_->DeviceIndex());
}

void TFormDeviceSelect::cbbModelChange() {
  state_->ChangeModel(cbbModel->currentIndex() == 1 ? bmCP2110 : bmCH9329);
  FillDevices();
}

void TFormDeviceSelect::btnOKClick() {
  state_->SetDeviceIndex(cbbDevs->currentIndex());
  SelectedPath = state_->SelectedPath();
  accept();
}

std::optional<std::string> TDialogChooser::Choose(TDeviceSelector& Selector, bool ModelEnabled, TBridgeModel Model) {
  TFormDeviceSelect dialog(Selector, ModelEnabled, Model, parent_);
  if (RunModal(dialog) != QDialog::Accepted) return std::nullopt;
  return dialog.SelectedPath;
}

}  // namespace qm::gui
