#include "app/gui/lcd/LcdFonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

// The resources live in a static library: nothing refers to their initialiser, so the linker would
// drop it unless it is called by name (and Q_INIT_RESOURCE must not stand inside a namespace).
static void InitLcdFontResources() { Q_INIT_RESOURCE(LcdFonts); }

namespace qm::gui {
namespace {

bool LoadBundledFonts() {
  InitLcdFontResources();
  bool all = true;
  for (const char* file : {"DSEG7Classic-Regular.ttf", "DSEG7Classic-Bold.ttf", "LiberationSans-Regular.ttf",
                           "LiberationSans-Bold.ttf"}) {
    all = QFontDatabase::addApplicationFont(QStringLiteral(":/qm/lcd/fonts/") + QLatin1String(file)) >= 0 && all;
  }
  QFont::insertSubstitution(QString::fromLatin1(kMainSegmentFamily), QString::fromLatin1(kSegmentFontFamily));
  QFont::insertSubstitution(QString::fromLatin1(kMarkSegmentFamily), QString::fromLatin1(kSegmentFontFamily));
  // A substitution only applies where the family itself is missing; a real Arial has the same metrics.
  QFont::insertSubstitution(QString::fromLatin1(kLabelFamily), QString::fromLatin1(kLabelFontFamily));
  return all;
}

}  // namespace

bool RegisterLcdFonts() {
  static const bool loaded = LoadBundledFonts();
  return loaded;
}

}  // namespace qm::gui
