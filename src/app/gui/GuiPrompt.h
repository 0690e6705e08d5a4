// The window's prompt: real modal boxes and file dialogs, parented to the main window.
#pragma once

#include <QPointer>
#include <QWidget>

#include "common/Prompt.h"

namespace qm::gui {

// "Excel File(*.xls)|*.xls|XML File(*.xml)|*.xml" as a Qt file-dialog filter list.
QString QtFileFilter(const std::string& filter);

class TGuiPrompt : public IPrompt {
 public:
  // The boxes are centred over `parent` (may be set later).
  explicit TGuiPrompt(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Information(const std::string& text) override;
  void Message(const std::string& text) override;
  bool Confirm(const std::string& text) override;
  void ErrorReport(const std::string& text) override;
  std::optional<std::string> OpenFileName(const std::string& filter) override;
  std::optional<std::string> SaveFileName(const std::string& filter, const std::string& defaultExt,
                                          bool askBeforeOverwrite) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace qm::gui
