# The version number lives in one place, the project() call; both programs read it from a generated
# header through the qm_version target.
configure_file(${CMAKE_CURRENT_LIST_DIR}/QmVersion.h.in ${PROJECT_BINARY_DIR}/generated/QmVersion.h @ONLY)
add_library(qm_version INTERFACE)
target_include_directories(qm_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
