# Layers are folders, each one static library.  A library sees the headers of
# its own folder and of the libraries it links, and nothing else: every
# library gets an include root of its own in the build tree holding one link
# to its folder, so an include that runs up the layers (a feature folder
# including the shell's main window, say) fails to compile.
#
# The layers, bottom to top (docs/architecture.md draws them):
#   kestrova_base                         GUI-free foundation (Qt Core at most):
#                                         src/base and src/crypto
#   kestrova_net                          HTTP, address checks, single instance,
#                                         the engine binding
#   kestrova_widgets                      picture control, dialog family, skin
#   kestrova_<feature>_core, kestrova_<feature>
#                                         player, lists, download, service,
#                                         catalog, in this order: a feature's
#                                         core is GUI-free; its UI part links
#                                         its core, the widgets and the
#                                         features below it
#   kestrova_shell                        main window frame, tray, start-up
#   kestrova (src/app)                    the executable: main.cpp only
#
# kestrova_library(NAME FOLDER folders... SOURCES files... LINKS libs...)
# kestrova_globbed_sources(VAR folder) sets VAR to the .cpp and .h files
# directly in `folder` (relative to the calling folder).
#   FOLDER names the library's folders relative to src/ ("base",
#   "player/core"); sources are relative to the calling folder.
function(kestrova_globbed_sources var folder)
  file(GLOB found CONFIGURE_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h")
  set(${var} ${found} PARENT_SCOPE)
endfunction()

function(kestrova_library name)
  cmake_parse_arguments(L "" "" "FOLDER;SOURCES;LINKS" ${ARGN})
  set(srcs)
  foreach(f IN LISTS L_SOURCES)
    get_filename_component(abs "${f}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    list(APPEND srcs "${abs}")
  endforeach()
  if(NOT srcs)
    # A layer whose folder holds no sources yet still gives its include root
    # and link line to the layers above.
    set(empty "${CMAKE_BINARY_DIR}/include-roots/${name}-empty.cpp")
    file(WRITE "${empty}" "// ${name} has no sources of its own yet.\n")
    set(srcs "${empty}")
  endif()
  add_library(${name} STATIC ${srcs})
  set(root "${CMAKE_BINARY_DIR}/include-roots/${name}")
  foreach(folder IN LISTS L_FOLDER)
    get_filename_component(parent "${root}/${folder}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    if(NOT EXISTS "${root}/${folder}")
      file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/${folder}" "${root}/${folder}" SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${name} PUBLIC "${root}")
  target_link_libraries(${name} PUBLIC ${L_LINKS})
endfunction()

# A test program: kestrova_test(NAME sources... LIBS libs... [LABELS l...])
# registers each GoogleTest case with CTest.  The label "core" is for tests
# that need no display and no web view: the target kestrova_core_tests builds
# them, and the sanitizer build runs them.  Tests never touch the real home:
# HOME and the XDG folders point into the build tree.
function(kestrova_test name)
  cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  if("core" IN_LIST T_LABELS)
    set_property(GLOBAL APPEND PROPERTY KESTROVA_CORE_TESTS ${name})
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  set(home "${CMAKE_BINARY_DIR}/test-home/${name}")
  file(MAKE_DIRECTORY "${home}" "${home}/run")
  file(CHMOD "${home}/run" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      TIMEOUT 300)
  # The environment and the labels are lists, which the discovery step cannot
  # carry (only their first entries would arrive); they are put on the
  # discovered tests once their names are known.
  set(env "HOME=${home};XDG_CONFIG_HOME=${home}/config;XDG_DATA_HOME=${home}/data;XDG_CACHE_HOME=${home}/cache;XDG_RUNTIME_DIR=${home}/run;QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;KESTROVA_BUILD_DIR=${CMAKE_BINARY_DIR};KESTROVA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  set(envfile "${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake")
  file(WRITE "${envfile}"
    "if(DEFINED ${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT [==[${env}]==]\n"
    "    LABELS [==[${T_LABELS}]==])\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${envfile}")
endfunction()
include(GoogleTest)
