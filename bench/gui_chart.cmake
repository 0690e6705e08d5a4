# The trend chart on screen: repainting one page with many records held, and the view's memory.
if(QM_BUILD_GUI)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets)
  qm_benchmark(gui_chart_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/gui_chart_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/GuiBenchMain.cpp DEPS qm_gui_chart)
endif()
