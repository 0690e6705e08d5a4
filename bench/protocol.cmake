qm_benchmark(protocol_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/protocol_bench.cpp DEPS qm_protocol)
