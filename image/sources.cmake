# The image writer's sources, listed once for the cross build, the build
# for this machine (the compiler) and the fuzz targets.
set(qrt_image_sources
  ${CMAKE_CURRENT_LIST_DIR}/image_builder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86.cpp
  ${CMAKE_CURRENT_LIST_DIR}/game_file.cpp)
