# The Debian package, made by CPack from the install rules of this build (so the package check
# of the test suite reuses the normal build): keystead_<version>-<revision>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keystead)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Keystead developers")
set(CPACK_PACKAGE_CONTACT "${KEYSTEAD_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop vault for passwords, a journal, pictures and files")
set(CPACK_PACKAGE_DESCRIPTION
    "Keystead keeps, for each person who logs in, password records filed in
categories, a journal with one entry per day and live typing statistics,
stored pictures and stored files, all in one encrypted database in the data
folder of the system account.

The database is encrypted with a key built into the program: the login keeps
apart the people who share one system account, and the data folder, private
to its owner, keeps the data from others.

The package holds the window program and keystead-cli, which reads the vault
from a terminal.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KEYSTEAD_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KEYSTEAD_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What dpkg-shlibdeps cannot see: the archiver the file store runs, and the toolkit's plugin
# that reads the program's SVG pictures.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gcab, libqt6svg6")
# More picture formats for the image store, and the toolkit's Wayland support.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)

# The checks of the test suite (not in the sanitizer build, whose programs are not shipped):
# the desktop entry and the AppStream metadata validated, the package made from this build and
# checked by lintian, installed into a private root, run from there and removed.
if(KEYSTEAD_BUILD_TESTS AND NOT KEYSTEAD_SANITIZE)
    set(check ${CMAKE_SOURCE_DIR}/scripts/check-package.sh)
    set(out ${CMAKE_BINARY_DIR}/package-check)
    add_test(NAME package_desktop_entry
             COMMAND ${check} desktop ${CMAKE_SOURCE_DIR}/resources/${KEYSTEAD_APP_ID}.desktop)
    add_test(NAME package_appstream
             COMMAND ${check} appstream ${KEYSTEAD_GENERATED}/${KEYSTEAD_APP_ID}.metainfo.xml)
    add_test(NAME package_deb COMMAND ${check} build ${CMAKE_BINARY_DIR} ${out})
    add_test(NAME package_lintian COMMAND ${check} lintian ${out})
    add_test(NAME package_install COMMAND ${check} install ${out})
    set_tests_properties(package_deb PROPERTIES FIXTURES_SETUP deb)
    set_tests_properties(package_lintian package_install PROPERTIES FIXTURES_REQUIRED deb)
    set_tests_properties(package_desktop_entry package_appstream package_deb package_lintian
                         package_install PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600
                                                    LABELS build-for-use)
endif()
