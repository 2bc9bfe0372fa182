# Fails when PROGRAM needs a Qt WebEngine library (ldd: directly or through
# another library), or when MODULE, the engine module, needs none.
# cmake -DPROGRAM=<executable> -DMODULE=<module> -P CheckWebEngineLinking.cmake
foreach(file IN ITEMS "${PROGRAM}" "${MODULE}")
  execute_process(COMMAND ldd "${file}" OUTPUT_VARIABLE needed RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "ldd ${file} failed (${result})")
  endif()
  string(REGEX MATCHALL "libQt6WebEngine[A-Za-z]*\\.so[.0-9]*" webengine "${needed}")
  list(REMOVE_DUPLICATES webengine)
  if(file STREQUAL "${PROGRAM}" AND webengine)
    message(FATAL_ERROR "${file} needs ${webengine} at start")
  endif()
  if(file STREQUAL "${MODULE}" AND NOT webengine)
    message(FATAL_ERROR "${file} does not link Qt WebEngine")
  endif()
  message(STATUS "${file}: ${webengine}")
endforeach()
