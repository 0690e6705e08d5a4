#include "app/gui/GuiPrompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace qm::gui {

namespace {

QString Title() { return QApplication::applicationDisplayName(); }

}  // namespace

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString pattern = parts[i + 1];
    pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

void TGuiPrompt::Information(const std::string& text) {
  QMessageBox::information(parent_, Title(), QString::fromStdString(text));
}

void TGuiPrompt::Message(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, Title(), QString::fromStdString(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool TGuiPrompt::Confirm(const std::string& text) {
  return QMessageBox::question(parent_, Title(), QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void TGuiPrompt::ErrorReport(const std::string& text) {
  QMessageBox::critical(parent_, Title(), QString::fromStdString(text));
}

std::optional<std::string> TGuiPrompt::OpenFileName(const std::string& filter) {
  QString name = QFileDialog::getOpenFileName(parent_, QString(), QString(), QtFileFilter(filter));
  if (name.isEmpty()) return std::nullopt;
  return name.toStdString();
}

std::optional<std::string> TGuiPrompt::SaveFileName(const std::string& filter, const std::string& defaultExt,
                                                    bool askBeforeOverwrite) {
  QFileDialog dialog(parent_, QString(), QString(), QtFileFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QString::fromStdString(defaultExt));
  if (!askBeforeOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst().toStdString();
}

}  // namespace qm::gui
