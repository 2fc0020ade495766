# The installation folder is the program's own folder (AppDir):
#   kestrova, libkestrova.so, kestrova-portal, flvplayer.swf
#   ruffle/           the Flash player's web runtime
#   Config/           pvlt_Source.ini, platform.ini (local.ini is made at first start)
#   Resource/         catalog, search files, offline page
# Copying the folder elsewhere gives a second, independent installation.

install(DIRECTORY ${PROJECT_SOURCE_DIR}/appdir/ DESTINATION .)

set(KESTROVA_RUFFLE_DIR "${PROJECT_SOURCE_DIR}/node_modules/@ruffle-rs/ruffle")
if(EXISTS "${KESTROVA_RUFFLE_DIR}/ruffle.js")
  install(DIRECTORY "${KESTROVA_RUFFLE_DIR}/" DESTINATION ruffle
          FILES_MATCHING PATTERN "*.js" PATTERN "*.wasm" PATTERN "LICENSE*")
else()
  # A client without the runtime refuses to start: stop here instead.
  message(FATAL_ERROR "The Flash player runtime (npm package @ruffle-rs/ruffle) is missing.\n"
    "Install the project's packages with: scripts/setup.sh")
endif()
