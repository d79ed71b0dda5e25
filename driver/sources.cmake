# The driver's sources, shared by the library, its unit tests and the fuzz
# targets. Every .cpp under src/ except the entry points goes into the core,
# so adding a file to a layer's folder needs no CMake change.
file(GLOB_RECURSE ZT_DRIVER_CORE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_LIST_DIR}/src/*.cpp ${CMAKE_CURRENT_LIST_DIR}/src/*.h)
list(FILTER ZT_DRIVER_CORE_SOURCES EXCLUDE REGEX "/entry_points\\.cpp$")
set(ZT_DRIVER_ENTRY_SOURCES ${CMAKE_CURRENT_LIST_DIR}/src/api/entry_points.cpp)
set(ZT_DRIVER_INCLUDE_DIR ${CMAKE_CURRENT_LIST_DIR}/src)
