# The log grid at ten million records: repaint, append at 1,000 against 10,000,000 records, and the
# view's memory beyond the log; with a plain QTableView over the same model for comparison.
if(QM_BUILD_GUI)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets)
  qm_benchmark(gui_grid_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/gui_grid_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/GuiBenchMain.cpp DEPS qm_gui_grid)
endif()
