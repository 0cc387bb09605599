# Installation and packages. `cmake --install` puts the tool in bin/ and, on
# systems with manual pages, its page in share/man/man1/. `cpack` in the build
# folder makes the package of the platform: on Windows the release archive
# arcpeek-VERSION-win64.zip (the programs, the Send-to files, the read-mes
# and the licence in one folder),
# elsewhere a Debian package (arcpeek_VERSION_ARCH.deb). Settings that belong to one generator
# carry its prefix (CPACK_DEBIAN_...) or sit in cmake/cpack_options.cmake,
# which cpack reads with the generator known.
include(GNUInstallDirs)

if(WIN32)
  # Beside the tool: the program of the Send-to entries, the two files that
  # install and remove them, and the Japanese read-me (UTF-8 with a BOM and
  # CR LF, as Notepad opens it on every Windows 10 and 11).
  install(TARGETS arcpeek arcpeek-sendto RUNTIME DESTINATION .)
  file(GLOB ARCPEEK_WINDOWS_FILES ${PROJECT_SOURCE_DIR}/windows/*.cmd
       ${PROJECT_SOURCE_DIR}/windows/*.txt)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
                ${ARCPEEK_WINDOWS_FILES} DESTINATION .)
  set(CPACK_PACKAGE_FILE_NAME arcpeek-${PROJECT_VERSION}-win64)
else()
  install(TARGETS arcpeek RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(NOT WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/doc/arcpeek.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME arcpeek)
set(CPACK_PACKAGE_VENDOR "The Arcpeek developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "inspects ZIP archives and re-encodes their entry names in Shift-JIS or UTF-8")
set(CPACK_PACKAGE_DESCRIPTION
    "Arcpeek reads the central directory of a ZIP archive, detects the encoding of the entry names and comments (ASCII, Shift-JIS, EUC-JP, UTF-16 or UTF-8), lists them in Shift-JIS, and can rewrite the archive with every name stored in Shift-JIS or UTF-8.")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_options.cmake)
if(NOT CPACK_GENERATOR)
  if(WIN32)
    set(CPACK_GENERATOR ZIP)
  else()
    set(CPACK_GENERATOR DEB)
  endif()
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Arcpeek developers")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends: from the libraries the binary links

include(CPack)
