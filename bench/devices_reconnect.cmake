# How long the link takes to come back after the bridge is unplugged and plugged in again.
qm_benchmark(devices_reconnect_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/devices_reconnect_bench.cpp DEPS qm_app)
