# Shared helpers. Every folder that holds a CMakeLists.txt below src/, tests/,
# tools/ or bench/ is added on its own, and a library's sources are its folder's
# files, so adding a file or a folder never means editing a list elsewhere.

include(GoogleTest)

# Adds every folder below `root` that has a CMakeLists.txt (target order does
# not matter: CMake resolves links between targets at generate time).
function(orvane_add_folders root)
  file(GLOB_RECURSE lists CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${root}/*/CMakeLists.txt)
  list(SORT lists)
  foreach(list_file IN LISTS lists)
    get_filename_component(dir ${list_file} DIRECTORY)
    add_subdirectory(${dir})
  endforeach()
endfunction()

# orvane_library(NAME DEPS dep1 dep2 ...)
# A static library of every .cpp/.h/.ui/.qrc file in the calling folder and its
# subfolders (a library folder holds no nested library), its folder on the
# include path of its users.
function(orvane_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.ui ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# orvane_test(NAME DEPS dep1 ...): one GoogleTest executable of the calling
# folder's .cpp files, each case registered with CTest; widgets run headless.
# A parameterised case is named by its index or its name generator, never by
# the printed bytes of its value, so its CTest name stays the same.
function(orvane_test name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} orvane_testsupport GTest::gmock)
  gtest_discover_tests(${name}
    NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1"
    DISCOVERY_TIMEOUT 60)
endfunction()
