# What `cmake --install` puts where, and the Debian package that CPack makes of it
# (`make package`). Included from the top-level CMakeLists.txt.

include(GNUInstallDirs)

set(VORA_APP_ID "org.example.vora" CACHE STRING "AppStream component id (reverse domain name)")
set(VORA_HOMEPAGE "https://vora.example.org" CACHE STRING "Home page; screenshots lie below it")
set(VORA_MAINTAINER "vora maintainers <maintainers@vora.example.org>"
    CACHE STRING "Maintainer of the Debian package")

# The release named by the changelog's first line must be the one this tree builds.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog VORA_CHANGELOG_HEAD LIMIT_COUNT 1)
if(NOT VORA_CHANGELOG_HEAD MATCHES "^vora \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog starts with '${VORA_CHANGELOG_HEAD}', "
                      "not with release ${PROJECT_VERSION}")
endif()
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog VORA_CHANGELOG_DATE
     REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE ".*  [A-Za-z]+, ([0-9]+) ([A-Za-z]+) ([0-9]+) .*" "\\3-\\2-\\1"
       VORA_RELEASE_DATE "${VORA_CHANGELOG_DATE}")
foreach(month Jan:01 Feb:02 Mar:03 Apr:04 May:05 Jun:06 Jul:07 Aug:08 Sep:09 Oct:10 Nov:11 Dec:12)
  string(REPLACE ":" ";" pair ${month})
  list(GET pair 0 name)
  list(GET pair 1 number)
  string(REPLACE "-${name}-" "-${number}-" VORA_RELEASE_DATE "${VORA_RELEASE_DATE}")
endforeach()
string(REGEX REPLACE "^([0-9]+-[0-9]+)-([0-9])$" "\\1-0\\2" VORA_RELEASE_DATE
       "${VORA_RELEASE_DATE}")

# The installed program resolves its symbols at start and keeps its relocations read-only.
if(NOT VORA_SANITIZE AND NOT VORA_FUZZ)
  target_link_options(vora PRIVATE -Wl,-z,relro,-z,now)
endif()
install(TARGETS vora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/vora.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/vora-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME vora.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/vora.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

configure_file(${CMAKE_SOURCE_DIR}/resources/vora.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/install/${VORA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/install/${VORA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages (Japanese, the user's language, and English) and the changelog go compressed,
# as Debian keeps them; -n leaves out the time, so the same sources give the same bytes.
set(VERSION ${PROJECT_VERSION})
set(VORA_GZIPPED)
foreach(page IN ITEMS man/vora.1 man/ja/vora.1)
  configure_file(${CMAKE_SOURCE_DIR}/resources/${page} ${CMAKE_BINARY_DIR}/install/${page} @ONLY)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/install/changelog
               COPYONLY)
foreach(file IN ITEMS man/vora.1 man/ja/vora.1 changelog)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/install/${file}.gz
                     COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/install/${file}
                     DEPENDS ${CMAKE_BINARY_DIR}/install/${file} VERBATIM)
  list(APPEND VORA_GZIPPED ${CMAKE_BINARY_DIR}/install/${file}.gz)
endforeach()
add_custom_target(vora_install_files ALL DEPENDS ${VORA_GZIPPED})
install(FILES ${CMAKE_BINARY_DIR}/install/man/vora.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/install/man/ja/vora.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)

# The user's guide with its pictures, the copyright and the changelog.
install(FILES ${CMAKE_SOURCE_DIR}/docs/guide.md ${CMAKE_SOURCE_DIR}/packaging/copyright
              ${CMAKE_BINARY_DIR}/install/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/screens/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/screens
        FILES_MATCHING PATTERN "*.png" PATTERN "scripts" EXCLUDE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VORA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "anesthesia case registry of a hospital department")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VORA_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Japanese is typed through ibus (its Qt plugin comes with Qt) or fcitx5 (whose Qt plugin is a
# package of its own), and shown with a Japanese font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fcitx5-frontend-qt6, fonts-ipafont-gothic | fonts-vlgothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ibus-mozc | fcitx5-mozc")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack puts the summary above these lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "vora keeps the anesthesia cases of one department on one workstation, for
one user at a time, in Japanese. Every case is entered once in a form and
can be listed, filtered and corrected; the administrator writes the national
society's annual report, exports all cases as CSV and counts the cases of
each anesthesiologist. All data live in one file, vora.dat, in the data
folder (~/vora-data when started from the desktop menu).")
include(CPack)
