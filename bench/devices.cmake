# The device classes' read path: chunk hand-off rate and latency, and Close while streaming.
qm_benchmark(devices_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/devices_bench.cpp DEPS qm_devices)
