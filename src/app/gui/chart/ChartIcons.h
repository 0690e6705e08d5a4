// The pictures of the chart toolbar, drawn rather than loaded so that they stay sharp at any
// scale and need no image files.
#pragma once

#include <QIcon>

namespace qm::gui {

enum class TChartIcon { First, Previous, Next, Last, Clear, Save, ZoomIn, ZoomOut, GoTo };

QIcon ChartToolIcon(TChartIcon icon);

}  // namespace qm::gui
