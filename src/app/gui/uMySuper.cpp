#include "app/gui/uMySuper.h"

#include <QBoxLayout>
#include <QFrame>
#include <QVBoxLayout>

namespace qm::gui {

TfrmSuperContainer* TfrmSuperContainer::current_ = nullptr;

std::function<int(TfrmSuperContainer&)> TfrmSuperContainer::RunModal = [](TfrmSuperContainer& window) {
  window.showMaximized();
  return window.exec();
};

TfrmSuperContainer::TfrmSuperContainer(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmSuperContainer"));
  setWindowTitle(parent ? parent->windowTitle() : QString());
  setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  auto* fill = new QVBoxLayout(Panel1);
  fill->setContentsMargins(0, 0, 0, 0);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Panel1);
  resize(kNormalWidth, kNormalHeight);
  current_ = this;
}

TfrmSuperContainer::~TfrmSuperContainer() {
  if (current_ == this) current_ = nullptr;
}

void ShowPanelZoomed(QWidget* panel, QWidget* home) {
  if (TfrmSuperContainer::Current()) return;
  auto* homeLayout = qobject_cast<QBoxLayout*>(home->layout());
  const int index = homeLayout ? homeLayout->indexOf(panel) : -1;
  const int stretch = homeLayout && index >= 0 ? homeLayout->stretch(index) : 0;
  TfrmSuperContainer window(home->window());
  struct TGoHome {
    QWidget* panel;
    QWidget* home;
    QBoxLayout* layout;
    int index, stretch;
    ~TGoHome() {
      if (layout)
        layout->insertWidget(index, panel, stretch);
      else
        panel->setParent(home);
      panel->show();
    }
  } goHome{panel, home, homeLayout, index, stretch};
  window.Panel1->layout()->addWidget(panel);
  panel->show();
  TfrmSuperContainer::RunModal(window);
}

void btnGridZoomoutClick() {
  if (auto* window = TfrmSuperContainer::Current()) window->close();
}

}  // namespace qm::gui
