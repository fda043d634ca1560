# Adds bench/ to a build of the whole program through CMAKE_PROJECT_INCLUDE, for as long as the
# top-level project does not list it itself.
add_subdirectory(${CMAKE_CURRENT_LIST_DIR} ${CMAKE_BINARY_DIR}/bench)
