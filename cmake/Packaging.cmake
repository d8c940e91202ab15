# Release packages (cmake --build <dir> --target package): a Debian package of the
# three programs with a desktop entry and an icon, or, cross-built, a Windows zip of
# the command-line tool and the simulator.
set(CPACK_PACKAGE_NAME kalvist)
set(CPACK_PACKAGE_VENDOR "Kalvist developers")
set(CPACK_PACKAGE_CONTACT "Kalvist developers <kalvist@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configure and watch Zarno knock-detection controllers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(FILES README.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME kalvist-${PROJECT_VERSION}-windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  install(FILES packaging/kalvist.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/kalvist.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES packaging/serial-ports.txt README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kalvist)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "kalvist (desktop program), kalvist-cli (command line) and zarno-sim (a controller simulator). Serial ports belong to the group dialout: add yourself with sudo usermod -aG dialout USER and log in again (see serial-ports.txt).")
endif()

include(CPack)
