// qm7310p: the window. With --demo (or --capture) a simulated meter behind a simulated bridge
// stands in for the hardware.
#include "app/gui/GuiApplication.h"

int main(int argc, char** argv) { return qm::gui::RunGui(argc, argv); }
