# Installation and the Debian package. The three programs go to bin; the shipped data to
# share/tolmi, where the programs find it (a new home is seeded from there); with them the
# manuals, the desktop entry with its icons and AppStream metadata, the bash completion of
# tolmi-cli and the systemd unit of tolmi-server.
include(GNUInstallDirs)

foreach(program tolmi tolmi-cli tolmi-server)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tolmi)

# Manuals, compressed as Debian wants them.
set(manuals tolmi-cli tolmi-server)
if(TARGET tolmi)
  list(APPEND manuals tolmi)
endif()
set(manual_files)
foreach(page ${manuals})
  set(gz ${PROJECT_BINARY_DIR}/dist/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/dist/man
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/dist/man/${page}.1 > ${gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/dist/man/${page}.1 VERBATIM)
  list(APPEND manual_files ${gz})
endforeach()
add_custom_target(manuals ALL DEPENDS ${manual_files})
install(FILES ${manual_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TARGET tolmi)
  set(app_id org.tolmi.Tolmi)
  install(FILES ${PROJECT_SOURCE_DIR}/dist/${app_id}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/dist/${app_id}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${PROJECT_SOURCE_DIR}/dist/icons/tolmi.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${app_id}.svg)
  foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/dist/icons/tolmi-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${app_id}.png)
  endforeach()
endif()

install(FILES ${PROJECT_SOURCE_DIR}/dist/tolmi-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tolmi-cli)

# The unit names the program by its installed path, known only when installing (a package
# installs into /usr, a test into a temporary prefix).
if(TARGET tolmi-server)
  set(unit ${PROJECT_BINARY_DIR}/dist/tolmi-server.service)
  install(CODE "
    file(READ \"${PROJECT_SOURCE_DIR}/dist/tolmi-server.service.in\" text)
    string(REPLACE \"@BINDIR@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\" text \"\${text}\")
    file(WRITE \"${unit}\" \"\${text}\")")
  install(FILES ${unit} DESTINATION lib/systemd/system)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/dist/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tolmi)

# The package's changelog, in Debian's format and compressed without a time stamp.
configure_file(${PROJECT_SOURCE_DIR}/dist/changelog.in ${PROJECT_BINARY_DIR}/dist/changelog @ONLY)
set(changelog_gz ${PROJECT_BINARY_DIR}/dist/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND gzip -9n -c ${PROJECT_BINARY_DIR}/dist/changelog > ${changelog_gz}
  DEPENDS ${PROJECT_BINARY_DIR}/dist/changelog VERBATIM)
add_custom_target(changelog ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tolmi)

# cpack -G DEB in the build folder makes tolmi_<version>_<arch>.deb; the library
# dependencies come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolmi)
set(CPACK_PACKAGE_VENDOR "Tolmi PRO")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tolmi PRO maintainers <maintainers@tolmi.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "build, publish and run a small online shop")
set(CPACK_PACKAGE_DESCRIPTION
    "Tolmi PRO keeps a merchant's store project, builds a static web store\n"
    "from it, publishes it by FTP sending only what changed, and downloads,\n"
    "files, invoices and charges the orders that customers send through its\n"
    "order server. The package holds the desktop program tolmi, the\n"
    "command-line program tolmi-cli and the order server tolmi-server with\n"
    "its systemd unit.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
