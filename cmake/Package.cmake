# `cpack -G DEB` in a build configured with -DCMAKE_INSTALL_PREFIX=/usr makes the Debian
# package (scripts/package does both). Its dependencies are read from the binaries.
set(CPACK_PACKAGE_NAME melodrix)
set(CPACK_PACKAGE_VENDOR Melodrix)
set(CPACK_PACKAGE_CONTACT "Melodrix <support@melodrix.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cataloguer for disks and folders, specialised for MP3 collections")
# Lines of the extended description stay within 80 characters, as Debian's tools want them.
set(CPACK_PACKAGE_DESCRIPTION
    "Melodrix walks a drive or folder and records every folder and file with\n"
    "its name, extension, size, time and path, and for MP3 files the tag\n"
    "fields. Each catalog is one XML file in a catalog library, so a collection\n"
    "can be browsed, described, searched and exported while the disk is absent.\n"
    "The package holds the desktop program melodrix and the command-line tool\n"
    "melodrix-cli.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://melodrix.example.org/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)
