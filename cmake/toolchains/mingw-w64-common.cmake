# Shared part of the mingw-w64 toolchain files; QM_MINGW_TRIPLET names the target.
set(CMAKE_C_COMPILER ${QM_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QM_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QM_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime (libgcc, libstdc++, winpthread) is linked in, so a program runs from any folder
# without DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static ${QM_MINGW_LINKER_FLAGS}")

find_program(QM_WINE wine)
if(QM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QM_WINE})
endif()
