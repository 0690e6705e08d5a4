# The printed log: opening the print preview of a million-record log, one page laid out and
# painted, and printing to a PDF file.
if(QM_BUILD_GUI)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets PrintSupport)
  qm_benchmark(gui_report_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/gui_report_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/GuiBenchMain.cpp DEPS qm_gui_report)
endif()
