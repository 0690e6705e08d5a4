#include "app/gui/GuiApplication.h"

#include <QEventLoop>
#include <QFile>
#include <QIcon>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "app/DemoRig.h"
#include "app/gui/GuiPrompt.h"
#include "app/gui/uMySuper.h"
#include "app/gui/ufrmMain.h"
#include "QmVersion.h"

namespace qm::gui {

namespace {

constexpr const char* kUsage =
    "usage: qm7310p [--demo[=MODELS]] [--capture FILE] [--period MS] [--connect]\n"
    "               [--limits LOW,HIGH] [--screenshot FILE [--download] [--readings N]\n"
    "               [--view window|chart-zoom|preview]] [--version]\n"
    "  --demo[=MODELS]   plug simulated bridges with a simulated meter each (cp2110, ch9329,\n"
    "                    comma-separated; plain --demo is one CP2110)\n"
    "  --capture FILE    plug a simulated CP2110 that plays a raw capture as its meter\n"
    "  --period MS       frame period of the simulated meters (10 to 60000, default 500)\n"
    "  --connect         press \"USB Connection\" at start\n"
    "  --screenshot FILE connect, wait for a few readings, save a PNG of the window and quit;\n"
    "                    with --download, after downloading the meter's memory instead;\n"
    "                    --readings N waits for N readings (6); --view takes the zoomed chart\n"
    "                    or the first page of the print preview instead of the window\n"
    "  --limits LOW,HIGH type the two limits into the limits panel at start\n"
    "  --version         print the program's version\n";

// The screenshot mode's prompt: nobody is there to answer, so confirmations are Yes and boxes
// are closed at once, each noted on standard error.
class TUnattendedPrompt : public IPrompt {
 public:
  void Information(const std::string& text) override { Note("info", text); }
  void Message(const std::string& text) override { Note("message", text); }
  bool Confirm(const std::string& text) override {
    Note("confirm (yes)", text);
    return true;
  }
  void ErrorReport(const std::string& text) override { Note("error", text); }
  std::optional<std::string> OpenFileName(const std::string&) override { return std::nullopt; }
  std::optional<std::string> SaveFileName(const std::string&, const std::string&, bool) override { return std::nullopt; }

 private:
  static void Note(const char* kind, const std::string& text) { std::fprintf(stderr, "[%s] %s\n", kind, text.c_str()); }
};

std::optional<std::vector<std::uint8_t>> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    if (prompt_) prompt_->ErrorReport(e.what());
  } catch (...) {
    if (prompt_) prompt_->ErrorReport("Unknown error");
  }
  return false;
}

std::optional<TGuiOptions> ParseGuiOptions(const QStringList& arguments, QString& error) {
  TGuiOptions o;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    auto value = [&](QString& out) {
      if (i + 1 >= arguments.size()) {
        error = arg + QStringLiteral(" needs a value");
        return false;
      }
      out = arguments[++i];
      return true;
    };
    QString text;
    if (arg == QLatin1String("--demo")) {
      o.demo = "cp2110";
    } else if (arg.startsWith(QLatin1String("--demo="))) {
      o.demo = arg.mid(7).toStdString();
    } else if (arg == QLatin1String("--capture")) {
      if (!value(text)) return std::nullopt;
      o.capture = text.toStdString();
    } else if (arg == QLatin1String("--period")) {
      if (!value(text)) return std::nullopt;
      bool ok = false;
      unsigned ms = text.toUInt(&ok);
      if (!ok || ms < 10 || ms > 60000) {
        error = QStringLiteral("--period takes 10 to 60000 ms");
        return std::nullopt;
      }
      o.periodMs = ms;
    } else if (arg == QLatin1String("--connect")) {
      o.connect = true;
    } else if (arg == QLatin1String("--screenshot")) {
      if (!value(text)) return std::nullopt;
      o.screenshot = text.toStdString();
    } else if (arg == QLatin1String("--download")) {
      o.screenshotDownload = true;
    } else if (arg == QLatin1String("--readings")) {
      if (!value(text)) return std::nullopt;
      bool ok = false;
      o.screenshotReadings = text.toInt(&ok);
      if (!ok || o.screenshotReadings < 1) {
        error = QStringLiteral("--readings takes a positive number");
        return std::nullopt;
      }
    } else if (arg == QLatin1String("--view")) {
      if (!value(text)) return std::nullopt;
      if (text != QLatin1String("window") && text != QLatin1String("chart-zoom") && text != QLatin1String("preview")) {
        error = QStringLiteral("--view takes window, chart-zoom or preview");
        return std::nullopt;
      }
      o.screenshotView = text.toStdString();
    } else if (arg == QLatin1String("--limits")) {
      if (!value(text) || !text.contains(QLatin1Char(','))) {
        error = QStringLiteral("--limits takes LOW,HIGH");
        return std::nullopt;
      }
      o.limits = text.toStdString();
    } else if (arg == QLatin1String("--version")) {
      o.version = true;
    } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
      error.clear();
      return std::nullopt;
    } else {
      error = QStringLiteral("unknown option ") + arg;
      return std::nullopt;
    }
  }
  if (o.screenshotDownload && !o.screenshot) {
    error = QStringLiteral("--download goes with --screenshot");
    return std::nullopt;
  }
  return o;
}

namespace {

void TypeLimits(TfrmMain& window, const std::string& limits) {
  const std::size_t comma = limits.find(',');
  if (auto* low = window.findChild<QLineEdit*>(QStringLiteral("edtCompLow")))
    low->setText(QString::fromStdString(limits.substr(0, comma)));
  if (auto* high = window.findChild<QLineEdit*>(QStringLiteral("edtCompHigh")))
    high->setText(QString::fromStdString(limits.substr(comma + 1)));
}

// Connects, waits for readings (or a finished download), saves the window as a PNG, quits.
void ScheduleScreenshot(TfrmMain& window, const TGuiOptions& o, int& exitCode) {
  auto readings = std::make_shared<int>(0);
  auto memory = std::make_shared<int>(0);
  auto requested = std::make_shared<bool>(false);
  auto done = std::make_shared<bool>(false);
  auto save = [&window, &exitCode, file = QString::fromStdString(*o.screenshot), view = o.screenshotView, done] {
    if (*done) return;
    *done = true;
    // Let the last frame's changes paint before the picture is taken.
    QTimer::singleShot(200, &window, [&window, &exitCode, file, view] {
      auto write = [&exitCode, file](const QPixmap& picture) {
        exitCode = picture.save(file, "PNG") ? 0 : 1;
        if (exitCode) std::fprintf(stderr, "qm7310p: cannot write %s\n", qPrintable(file));
      };
      if (view == "chart-zoom") {
        TfrmSuperContainer::RunModal = [&write](TfrmSuperContainer& zoom) {
          zoom.resize(TfrmMain::kWidth, TfrmMain::kHeight);
          zoom.show();
          QEventLoop settle;
          QTimer::singleShot(300, &settle, &QEventLoop::quit);
          settle.exec();
          write(zoom.grab());
          return 0;
        };
        window.btnFlyClick();
      } else if (view == "preview") {
        write(window.PreviewPicture());
      } else {
        write(window.grab());
      }
      window.close();
    });
  };
  window.Session().OnReadingDecoded.Add(
      [&window, &o, readings, memory, requested, save](TMeterSession::TReadingKind kind) {
        if (kind == TMeterSession::TReadingKind::Memory) ++*memory;
        if (kind == TMeterSession::TReadingKind::Live && ++*readings < o.screenshotReadings) return;
        if (!o.screenshotDownload) {
          save();
        } else if (!*requested) {
          *requested = true;
          QTimer::singleShot(0, &window, [&window] { window.btnExportDataClick(); });
        }
      });
  if (o.screenshotDownload) {
    // The end marker's box is closed at once by the unattended prompt; the curtain then reads
    // "Data transfer completed".
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, memory, save] {
      if (*memory > 0 && window.Session().Protocol().LoadLogCaption() == "Data transfer completed") save();
    });
    poll->start(100);
  }
  QTimer::singleShot(120000, &window, [&window, &exitCode] {
    std::fprintf(stderr, "qm7310p: no readings for the screenshot within 120 s\n");
    exitCode = 1;
    window.close();
  });
}

}  // namespace

int RunGui(int argc, char** argv) {
  // --help and --version answer before the application object exists, which needs a display.
  // Anything this first look rejects may be one of Qt's own options: the second look, after Qt
  // took those out, decides.
  {
    QStringList raw;
    for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    QString error;
    auto early = ParseGuiOptions(raw, error);
    if (!early && error.isEmpty()) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (early && early->version) {
      std::printf("qm7310p %s\n", kVersion);
      return 0;
    }
  }

  TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("RV512"));
  QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
  // Wayland shells find the menu entry, and so the icon, by this name; X11 ones take the window's.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.qm7310p.link"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("qm7310p")));
  QString error;
  auto options = ParseGuiOptions(QApplication::arguments(), error);
  if (!options) {
    if (!error.isEmpty()) std::fprintf(stderr, "qm7310p: %s\n", qPrintable(error));
    std::fputs(kUsage, error.isEmpty() ? stdout : stderr);
    return error.isEmpty() ? 0 : 2;
  }
  const TGuiOptions& o = *options;
  if (o.version) {
    std::printf("qm7310p %s\n", kVersion);
    return 0;
  }

  std::unique_ptr<TDemoRig> demo;
  if (o.demo || o.capture) {
    std::vector<TBridgeModel> models;
    if (o.demo) {
      auto parsed = TDemoRig::ParseModels(*o.demo);
      if (!parsed) {
        std::fprintf(stderr, "qm7310p: --demo takes a comma list of cp2110 and ch9329\n");
        return 2;
      }
      models = *parsed;
    }
    std::optional<std::vector<std::uint8_t>> capture;
    if (o.capture && !(capture = ReadBytes(*o.capture))) {
      std::fprintf(stderr, "qm7310p: cannot read %s\n", o.capture->c_str());
      return 2;
    }
    demo = std::make_unique<TDemoRig>(models, o.periodMs, std::move(capture));
  }

  TGuiPrompt guiPrompt;
  TUnattendedPrompt unattended;
  IPrompt& prompt = o.screenshot ? static_cast<IPrompt&>(unattended) : guiPrompt;
  app.SetErrorReport(&prompt);
  int exitCode = 0;
  {
    TfrmMain window(prompt);
    guiPrompt.SetParent(&window);
    if (demo)
      window.SetStatusNote(o.capture ? QStringLiteral("Simulated meter: playing a capture (no meter attached)")
                                     : QStringLiteral("Simulated meter (no meter attached)"));
    if (o.limits) TypeLimits(window, *o.limits);
    if (o.screenshot) ScheduleScreenshot(window, o, exitCode);
    window.show();
    if (o.connect || o.screenshot) {
      QTimer::singleShot(0, &window, [&window] {
        if (auto* button = window.findChild<QPushButton*>(QStringLiteral("btnConnect"))) button->click();
      });
    }
    int rc = app.exec();
    if (!o.screenshot) exitCode = rc;
    app.SetErrorReport(nullptr);
  }
  return exitCode;
}

}  // namespace qm::gui
