# Installs the build into a fresh folder and checks what xscreensaver and the desktop need.
# cmake -DBUILD=<build dir> -DPREFIX=<empty folder> -P check-install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX} RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc})")
endif()
foreach(f libexec/xscreensaver/qelwave share/xscreensaver/config/qelwave.xml share/man/man6/qelwave.6
          share/applications/screensavers/qelwave.desktop share/applications/qelwave.desktop bin/wave-render bin/glowdb)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(READ ${PREFIX}/share/xscreensaver/config/qelwave.xml xml)
if(NOT xml MATCHES "<screensaver name=\"qelwave\" _label=\"QEL Wave\">" OR NOT xml MATCHES "<command arg=\"--root\"/>")
  message(FATAL_ERROR "qelwave.xml does not name the hack and its --root")
endif()
file(READ ${PREFIX}/share/applications/screensavers/qelwave.desktop entry)
if(NOT entry MATCHES "Exec=${PREFIX}/libexec/xscreensaver/qelwave --root")
  message(FATAL_ERROR "qelwave.desktop does not start the installed hack:\n${entry}")
endif()
# KWin lets the program whose path the entry's Exec= names take screenshots.
file(READ ${PREFIX}/share/applications/qelwave.desktop entry)
if(NOT entry MATCHES "\nExec=${PREFIX}/libexec/xscreensaver/qelwave\n" OR
   NOT entry MATCHES "\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n")
  message(FATAL_ERROR "share/applications/qelwave.desktop does not let the installed program take KWin's screenshots:\n${entry}")
endif()
message(STATUS "installed and checked under ${PREFIX}")
