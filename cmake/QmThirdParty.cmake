# GoogleTest and pugixml. A native build takes Debian's packages; a cross build compiles them from
# sources: GoogleTest from Debian's googletest package (/usr/src/googletest), pugixml from its
# Debian source package, which scripts/install-deps.sh unpacks into /usr/local/src/qm-third-party.
set(QM_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources, for cross builds")
set(QM_PUGIXML_SOURCE_DIR /usr/local/src/qm-third-party/pugixml CACHE PATH "pugixml sources, for cross builds")

if(NOT CMAKE_CROSSCOMPILING)
  find_package(pugixml REQUIRED)
  if(QM_BUILD_TESTS)
    find_package(GTest REQUIRED)
  endif()
  return()
endif()

if(NOT EXISTS ${QM_PUGIXML_SOURCE_DIR}/src/pugixml.cpp)
  message(FATAL_ERROR "pugixml sources not found in ${QM_PUGIXML_SOURCE_DIR}; run scripts/install-deps.sh --windows")
endif()
add_library(qm_pugixml STATIC ${QM_PUGIXML_SOURCE_DIR}/src/pugixml.cpp)
target_include_directories(qm_pugixml SYSTEM PUBLIC ${QM_PUGIXML_SOURCE_DIR}/src)
add_library(pugixml::pugixml ALIAS qm_pugixml)

if(QM_BUILD_TESTS)
  if(NOT EXISTS ${QM_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${QM_GTEST_SOURCE_DIR}; install Debian's googletest")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${QM_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
  foreach(t gtest gmock gtest_main)
    if(NOT TARGET GTest::${t})
      add_library(GTest::${t} ALIAS ${t})
    endif()
  endforeach()
endif()
