# The Debian package (`cpack` in the build folder writes kestrova_<version>_<arch>.deb):
#   /opt/kestrova/                  the installation folder as `cmake --install`
#                                   lays it out, owned by root and read-only,
#                                   with the mark `.installed`: each user then
#                                   works in $XDG_DATA_HOME/kestrova/, made from
#                                   it at their first start (src/base/userappdir.h)
#   /usr/bin/kestrova               the launcher
#   /usr/share/applications/kestrova.desktop, the icon in the hicolor theme
# The files outside the installation folder belong to the component
# "package", which a plain `cmake --install` leaves out, so a portable
# installation stays one self-contained folder.

set(_package_dir "${CMAKE_BINARY_DIR}/package")
file(MAKE_DIRECTORY "${_package_dir}")
file(WRITE "${_package_dir}/.installed"
     "This folder was installed by the package; each user works in $XDG_DATA_HOME/kestrova.\n")
install(FILES "${_package_dir}/.installed" DESTINATION . COMPONENT package EXCLUDE_FROM_ALL)
install(PROGRAMS "${PROJECT_SOURCE_DIR}/package/kestrova" DESTINATION /usr/bin
        COMPONENT package EXCLUDE_FROM_ALL)
install(FILES "${PROJECT_SOURCE_DIR}/package/kestrova.desktop"
        DESTINATION /usr/share/applications COMPONENT package EXCLUDE_FROM_ALL)
# The program's icon, drawn with the skin at build time.
install(FILES "${CMAKE_BINARY_DIR}/src/widgets/skin/pictures/AppIcon.png"
        DESTINATION /usr/share/icons/hicolor/64x64/apps RENAME kestrova.png
        COMPONENT package EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrova)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Kestrova游戏: browse, play and keep small Flash games")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A desktop client through which children browse a portal's channels of small Flash games, "
    "play them in an embedded player, keep a play list and favorites, download items and "
    "search games by name.")
set(CPACK_PACKAGE_CONTACT "Kestrova <kestrova@localhost>")
set(CPACK_PACKAGE_FILE_NAME "kestrova_${PROJECT_VERSION}_amd64")
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/package")
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/kestrova)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified package)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link are found by dpkg-shlibdeps; the packages
# below are used at run time without being linked: the web engine's helper
# process and its resources, the sound back end, the Chinese font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CMAKE_BINARY_DIR}/engine")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6webenginecore6-bin, libqt6webengine6-data, gstreamer1.0-plugins-good, \
gstreamer1.0-libav, fonts-wqy-zenhei")
include(CPack)
