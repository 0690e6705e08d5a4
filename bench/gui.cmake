# The window: a reading from its chunk to the repainted LCD panel, the GUI thread's CPU time while
# the meter streams at full rate, and the read thread's hand-off through the Qt event loop.
if(QM_BUILD_GUI)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets)
  qm_benchmark(gui_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/gui_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/GuiBenchMain.cpp DEPS qm_gui qm_sim)
endif()
