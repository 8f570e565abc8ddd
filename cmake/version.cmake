# quillon_version: an include folder holding quillon_version.h, whose
# QUILLON_VERSION is the project's version. Everything that shows a version
# links this, so a new version is one edit of project() in the top CMakeLists.
configure_file(${CMAKE_CURRENT_LIST_DIR}/quillon_version.h.in
               ${CMAKE_BINARY_DIR}/generated/quillon_version.h @ONLY)
add_library(quillon_version INTERFACE)
target_include_directories(quillon_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
