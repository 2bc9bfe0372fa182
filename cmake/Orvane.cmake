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
# subfolders, its folder on the include path of its users. A subfolder with a
# CMakeLists.txt of its own (a category's view/) is a library of its own and
# is left out.
function(orvane_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.ui ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  file(GLOB_RECURSE nested CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(list_file IN LISTS nested)
    get_filename_component(nested_dir ${list_file} DIRECTORY)
    list(FILTER sources EXCLUDE REGEX "^${nested_dir}/")
  endforeach()
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

# orvane_category_view(<category> [DEPS dep1 ...] [INTO target ...])
# The view library of a category, orvane_<category>_view, of the calling
# folder (src/<category>/view/), linking orvane_ui and the category's headless
# library orvane_<category> when there is one. Its descriptor row registers
# itself through an object nothing refers to, which a static library would
# drop at link time, so the library is linked whole into orvane_app (or the
# INTO targets: a test's own category). Link it nowhere else by name: one
# link with the library both whole and plain is an error.
function(orvane_category_view category)
  cmake_parse_arguments(ARG "" "" "DEPS;INTO" ${ARGN})
  set(name orvane_${category}_view)
  orvane_library(${name} DEPS orvane_ui "$<TARGET_NAME_IF_EXISTS:orvane_${category}>" ${ARG_DEPS})
  if(NOT ARG_INTO)
    set(ARG_INTO orvane_app)
  endif()
  foreach(target IN LISTS ARG_INTO)
    # At the end of the configuration, as the target may be made in a folder
    # added after this one; the values are written into the deferred call.
    cmake_language(EVAL CODE
      "cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]] CALL target_link_libraries [[${target}]] PRIVATE [[$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}>]])")
  endforeach()
endfunction()
