// The window program's start: the application object with its general error report, the command
// line, the optional simulated meter, the main window, and the screenshot mode.
#pragma once

#include <QApplication>

#include <optional>
#include <string>

#include "common/Prompt.h"

namespace qm::gui {

// Catches what an event handler let through and shows it as the general error report; the event
// loop goes on. Handlers guard themselves; this is the last line.
class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  void SetErrorReport(IPrompt* prompt) { prompt_ = prompt; }
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  IPrompt* prompt_ = nullptr;
};

struct TGuiOptions {
  std::optional<std::string> demo;     // --demo[=MODELS]: "cp2110" for plain --demo
  std::optional<std::string> capture;  // --capture FILE
  unsigned periodMs = 500;             // --period MS: the simulated meter's frame period
  bool connect = false;                // --connect: press "USB Connection" at start
  std::optional<std::string> screenshot;  // --screenshot FILE: save a picture of the window and quit
  bool screenshotDownload = false;        // --download: the picture after a memory download
  int screenshotReadings = 6;             // --readings N: live readings before the picture
  std::string screenshotView = "window";  // --view window|chart-zoom|preview
  std::optional<std::string> limits;      // --limits LOW,HIGH: typed into the limit edits at start
  bool version = false;                   // --version: print the version and quit
};

// Parses the command line; nullopt with `error` set (or empty for --help, printed) on a bad one.
// Needs no application object, so --help and --version answer without a display.
std::optional<TGuiOptions> ParseGuiOptions(const QStringList& arguments, QString& error);

int RunGui(int argc, char** argv);

}  // namespace qm::gui
