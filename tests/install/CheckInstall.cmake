# Installs the build into PREFIX and checks what landed there.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${installed}")
endif()

file(GLOB_RECURSE modules ${PREFIX}/lib*/orvane/liborvane_webengine.so)
if(NOT modules)
  message(FATAL_ERROR "the web pages' engine module was not installed under ${PREFIX}/lib*/orvane")
endif()
foreach(file bin/orvane bin/orvane-mobilebackup
             share/applications/org.orvane.Orvane.desktop
             share/metainfo/org.orvane.Orvane.metainfo.xml
             share/icons/hicolor/scalable/apps/org.orvane.Orvane.svg)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "${file} was not installed")
  endif()
endforeach()
foreach(size 16 22 24 32 48 64 128 256 512)
  if(NOT EXISTS ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/org.orvane.Orvane.png)
    message(FATAL_ERROR "the ${size}x${size} icon was not installed")
  endif()
endforeach()

execute_process(COMMAND desktop-file-validate ${PREFIX}/share/applications/org.orvane.Orvane.desktop
                RESULT_VARIABLE valid OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT valid EQUAL 0 OR said)
  message(FATAL_ERROR "desktop-file-validate: ${valid} ${said}")
endif()
execute_process(COMMAND appstreamcli validate --no-net
                        ${PREFIX}/share/metainfo/org.orvane.Orvane.metainfo.xml
                RESULT_VARIABLE valid OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT valid EQUAL 0)
  message(FATAL_ERROR "appstreamcli validate: ${valid} ${said}")
endif()
