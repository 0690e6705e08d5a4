# Cross build for 32-bit Windows with Debian's mingw-w64 (posix thread model, so std::thread works).
# Test programs run under Wine through the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QM_MINGW_TRIPLET i686-w64-mingw32)
# Large-address aware: on 64-bit Windows the 32-bit program gets 4 GB of address space, not 2 GB,
# room for the "Unlimited" log.
set(QM_MINGW_LINKER_FLAGS "-Wl,--large-address-aware")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
