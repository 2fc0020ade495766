# Three layers, each one static library, enforced by what they link:
#   kestrova_core      no display, no network: Qt6::Core, SQLite and glibc at most
#   kestrova_platform  HTTP (libcurl), the engine binding, single instance,
#                      autostart, tray: may link Qt Network/Gui/Widgets
#   kestrova_ui        the windows: Qt Widgets, WebEngine and Multimedia
# and the client executable `kestrova` on top.
#
# A subsystem folder calls, for example,
#   kestrova_sources(core cipher.cpp cipher.h)
#   kestrova_sources(platform urlanswers.cpp)
#   kestrova_sources(app main.cpp)          # the executable's own sources
# Paths are relative to the calling folder.

set(KESTROVA_LAYERS core platform ui app)

function(kestrova_sources layer)
  if(NOT layer IN_LIST KESTROVA_LAYERS)
    message(FATAL_ERROR "kestrova_sources: unknown layer '${layer}'")
  endif()
  foreach(f IN LISTS ARGN)
    get_filename_component(abs "${f}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    set_property(GLOBAL APPEND PROPERTY KESTROVA_${layer}_SOURCES "${abs}")
  endforeach()
endfunction()

# Extra libraries for one layer, e.g. kestrova_link(core SQLite::SQLite3)
function(kestrova_link layer)
  set_property(GLOBAL APPEND PROPERTY KESTROVA_${layer}_LIBS ${ARGN})
endfunction()

function(_kestrova_layer name layer)
  get_property(srcs GLOBAL PROPERTY KESTROVA_${layer}_SOURCES)
  get_property(libs GLOBAL PROPERTY KESTROVA_${layer}_LIBS)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARGN} ${libs})
endfunction()

macro(kestrova_make_layers)
  _kestrova_layer(kestrova_core core Qt6::Core SQLite::SQLite3)
  target_compile_definitions(kestrova_core PUBLIC
    KESTROVA_VERSION_TEXT="${PROJECT_VERSION}"
    QT_NO_KEYWORDS)
  get_property(_plat GLOBAL PROPERTY KESTROVA_platform_SOURCES)
  if(_plat)
    _kestrova_layer(kestrova_platform platform kestrova_core Qt6::Network CURL::libcurl Threads::Threads ${CMAKE_DL_LIBS})
  endif()
  get_property(_ui GLOBAL PROPERTY KESTROVA_ui_SOURCES)
  if(_ui)
    _kestrova_layer(kestrova_ui ui kestrova_platform Qt6::Widgets Qt6::WebEngineWidgets Qt6::Multimedia)
  endif()
  get_property(_app GLOBAL PROPERTY KESTROVA_app_SOURCES)
  if(_app)
    get_property(_applibs GLOBAL PROPERTY KESTROVA_app_LIBS)
    add_executable(kestrova ${_app})
    target_link_libraries(kestrova PRIVATE kestrova_ui ${_applibs})
    install(TARGETS kestrova RUNTIME DESTINATION .)
  endif()
endmacro()

# A test program: kestrova_test(NAME sources... LIBS libs... [LABELS l...])
# registers each GoogleTest case with CTest.  Tests never touch the real home:
# HOME and the XDG folders point into the build tree.
function(kestrova_test name)
  cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  set(home "${CMAKE_BINARY_DIR}/test-home/${name}")
  file(MAKE_DIRECTORY "${home}" "${home}/run")
  file(CHMOD "${home}/run" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      LABELS "${T_LABELS}"
      TIMEOUT 300)
  # The environment is a list, which the discovery step cannot carry (only
  # its first entry would arrive); it is put on the discovered tests once
  # their names are known.
  set(env "HOME=${home};XDG_CONFIG_HOME=${home}/config;XDG_DATA_HOME=${home}/data;XDG_CACHE_HOME=${home}/cache;XDG_RUNTIME_DIR=${home}/run;QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;KESTROVA_BUILD_DIR=${CMAKE_BINARY_DIR};KESTROVA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  set(envfile "${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake")
  file(WRITE "${envfile}"
    "if(DEFINED ${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT [==[${env}]==])\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${envfile}")
endfunction()
include(GoogleTest)
