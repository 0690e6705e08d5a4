// The toolbar pictures of the window, drawn as vectors so they stay crisp at any scale.
#pragma once

#include <QIcon>

namespace qm::gui {

enum class TToolIcon { Clear, Save, Open, Print, ZoomIn, ZoomOut };

QIcon ToolIcon(TToolIcon icon);

}  // namespace qm::gui
