# The sources of the image writer and of the image checks, listed once for
# the runtime's build (tools/CMakeLists.txt) and the fuzz targets' build
# (tests/fuzz), which compiles them for this machine.
include(${CMAKE_CURRENT_LIST_DIR}/../image/sources.cmake)
# Pure code over bytes: reading descriptors and ops, the walk, the check.
set(qrt_image_check_sources
  ${CMAKE_CURRENT_LIST_DIR}/imagetools/image_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/imagetools/descriptor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/imagetools/ops.cpp
  ${CMAKE_CURRENT_LIST_DIR}/imagetools/x86_decode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/imagetools/walk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/imagetools/check.cpp)
