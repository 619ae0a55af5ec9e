# Installs the build into a scratch prefix and checks that every file the desktop needs is there.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
set(expected
    bin/rv58ctl
    share/applications/rv58led.desktop
    share/mime/packages/rv58led-settings.xml
    share/icons/hicolor/scalable/apps/rv58led.svg
    share/icons/hicolor/scalable/mimetypes/application-x-rv58-settings.svg)
if(WITH_GUI)
  list(APPEND expected bin/rv58led)
endif()
if(WITH_PNG)
  foreach(size 16 22 24 32 48 64 128 256)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/rv58led.png
         share/icons/hicolor/${size}x${size}/mimetypes/application-x-rv58-settings.png)
  endforeach()
endif()
foreach(f ${expected})
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "missing after install: ${f}")
  endif()
endforeach()
file(READ ${PREFIX}/share/applications/rv58led.desktop entry)
if(NOT entry MATCHES "\nExec=rv58led %f\n" OR NOT entry MATCHES "\nMimeType=application/x-rv58-settings;\n")
  message(FATAL_ERROR "the installed desktop entry does not start rv58led with the file")
endif()
file(REMOVE_RECURSE ${PREFIX})
message(STATUS "install layout ok: ${PREFIX}")
