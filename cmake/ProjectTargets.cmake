# Helpers for the project's libraries and tests.
#
#   project_add_gtest(NAME n SOURCES ... [LIBS ...] [TIMEOUT s] [LABELS ...] [ENV k=v ...])
#     a GoogleTest program, run by CTest under Wine as one test.
#   project_add_script_test(NAME n COMMAND ... [TIMEOUT s] [LABELS ...] [ENV k=v ...])
#     a host-side command (bash, python) that drives Windows programs through
#     ${WINE_RUN}; it sees WINE_RUN, BUILD_DIR, SOURCE_DIR and MINGW_ARCH.
#   project_add_display_test(NAME n COMMAND program args... [TIMEOUT s] [LABELS ...] [ENV k=v ...])
#     a Windows program run under Wine on an Xvfb display and in a prefix of its
#     own (tests/support/with_display.sh), one such test at a time. Labelled
#     retry: a first window under Xvfb fails now and then on a loaded machine,
#     and scripts/test runs a failed test of that label once more.
#   project_add_server_gtest(NAME n SOURCES ... [LIBS ...] [TIMEOUT s] [LABELS ...])
#     a GoogleTest program run under Wine while tests/support/http_server.py
#     serves on 127.0.0.1 (its address in TEST_HTTP_SERVER); the proxy
#     variables of the environment are removed, since WinINet would obey them.
#   project_add_pe_check(NAME n TARGET t [MACHINE i386|x86-64] EXPORTS ...)
#     checks with objdump that the target is a PE of the expected machine and
#     exports the listed names undecorated (no Wine needed: label "pe").
#   project_pe_inputs(TARGETS ...)
#     targets that a "pe" check reads besides those named above; the target
#     pe_inputs builds what every "pe" check reads and nothing else.
#   project_compile_idl(IDL file OUTPUT_DIR dir [PROXY])
#     compiles an interface definition with widl (as the target's bitness) into
#     dir: the type library <name>.tlb; with PROXY also the header <name>.h, the
#     identifiers <name>_i.c, the proxy/stub <name>_p.c and dlldata.c.
#   project_add_exports_check()
#     once, after every folder: lists the exports of every DLL of the build,
#     product and test, and checks that they are exactly its .def's names, none
#     decorated (label "pe"); then defines pe_inputs.

set(WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix")
if(MINGW_ARCH STREQUAL "x86_64")
  set(WINE_ARCH win64)
  set(WINE_LOADER /usr/lib/wine/wine64)
else()
  set(WINE_ARCH win32)
  set(WINE_LOADER /usr/lib/wine/wine)
endif()
set(WINE_SERVER /usr/lib/wine/wineserver)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-server.in ${CMAKE_BINARY_DIR}/wine-server
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
set(WINE_RUN "${CMAKE_BINARY_DIR}/wine-run")

function(_project_test_properties name)
  cmake_parse_arguments(T "" "TIMEOUT" "LABELS;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  set(env WINE_RUN=${WINE_RUN} BUILD_DIR=${CMAKE_BINARY_DIR} SOURCE_DIR=${CMAKE_SOURCE_DIR}
          MINGW_ARCH=${MINGW_ARCH} ${T_ENV})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
endfunction()

function(project_add_gtest)
  cmake_parse_arguments(G "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${G_NAME} ${G_SOURCES})
  target_link_libraries(${G_NAME} PRIVATE ${G_LIBS} GTest::gmock_main)
  add_test(NAME ${G_NAME} COMMAND ${G_NAME} --gtest_color=no
           WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  _project_test_properties(${G_NAME} TIMEOUT "${G_TIMEOUT}" LABELS "${G_LABELS}" ENV ${G_ENV})
endfunction()

function(project_add_script_test)
  cmake_parse_arguments(S "" "NAME;TIMEOUT" "COMMAND;LABELS;ENV;DEPENDS" ${ARGN})
  add_test(NAME ${S_NAME} COMMAND ${S_COMMAND} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  _project_test_properties(${S_NAME} TIMEOUT "${S_TIMEOUT}" LABELS "${S_LABELS}" ENV ${S_ENV})
endfunction()

function(project_add_display_test)
  cmake_parse_arguments(D "" "NAME;TIMEOUT" "COMMAND;LABELS;ENV" ${ARGN})
  project_add_script_test(NAME ${D_NAME} COMMAND bash ${CMAKE_SOURCE_DIR}/tests/support/with_display.sh ${D_COMMAND}
                          TIMEOUT "${D_TIMEOUT}" LABELS retry ${D_LABELS} ENV ${D_ENV})
  set_tests_properties(${D_NAME} PROPERTIES RESOURCE_LOCK x_display)
endfunction()

function(project_add_pe_check)
  cmake_parse_arguments(P "" "NAME;TARGET" "EXPORTS" ${ARGN})
  if(MINGW_ARCH STREQUAL "x86_64")
    set(machine "x86-64")
  else()
    set(machine "i386")
  endif()
  add_test(NAME ${P_NAME}
           COMMAND ${CMAKE_SOURCE_DIR}/cmake/check-pe ${MINGW_TRIPLE}-objdump $<TARGET_FILE:${P_TARGET}>
                   ${machine} ${P_EXPORTS})
  set_tests_properties(${P_NAME} PROPERTIES LABELS pe TIMEOUT 60)
  project_pe_inputs(TARGETS ${P_TARGET})
endfunction()

function(project_pe_inputs)
  cmake_parse_arguments(P "" "" "TARGETS" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY PROJECT_PE_INPUTS ${P_TARGETS})
endfunction()

function(project_add_server_gtest)
  cmake_parse_arguments(G "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${G_NAME} ${G_SOURCES})
  target_link_libraries(${G_NAME} PRIVATE ${G_LIBS} GTest::gmock_main)
  add_test(NAME ${G_NAME}
           COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/support/http_server.py --
                   ${WINE_RUN} $<TARGET_FILE:${G_NAME}> --gtest_color=no
           WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  _project_test_properties(${G_NAME} TIMEOUT "${G_TIMEOUT}" LABELS "${G_LABELS}")
  set_tests_properties(${G_NAME} PROPERTIES ENVIRONMENT_MODIFICATION
                       "http_proxy=unset:;https_proxy=unset:;no_proxy=unset:;HTTP_PROXY=unset:;HTTPS_PROXY=unset:")
endfunction()

function(project_compile_idl)
  cmake_parse_arguments(I "PROXY" "IDL;OUTPUT_DIR" "" ${ARGN})
  if(MINGW_ARCH STREQUAL "x86_64")
    set(widl_target -m64)
    set(stdole_dir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  else()
    set(widl_target -m32)
    set(stdole_dir /usr/lib/i386-linux-gnu/wine/i386-windows)
  endif()
  set(idl_dir ${DEPS_DIR}/share/idl)
  if(NOT EXISTS ${idl_dir}/oaidl.idl)
    message(FATAL_ERROR "no interface definitions in ${idl_dir}: run scripts/setup (scripts/deps/mingw-idl.build)")
  endif()
  get_filename_component(name ${I_IDL} NAME_WE)
  set(gen ${I_OUTPUT_DIR})
  file(MAKE_DIRECTORY ${gen})
  if(I_PROXY)
    add_custom_command(
      OUTPUT ${gen}/${name}.h ${gen}/${name}_i.c ${gen}/${name}_p.c ${gen}/${name}.tlb
      COMMAND ${MINGW_TRIPLE}-widl ${widl_target} -I ${idl_dir} -L ${stdole_dir} -Oif -h -u -p -t ${I_IDL}
      COMMAND ${MINGW_TRIPLE}-widl --dlldata-only -o ${gen}/dlldata.c ${name}
      BYPRODUCTS ${gen}/dlldata.c
      DEPENDS ${I_IDL}
      WORKING_DIRECTORY ${gen}
      COMMENT "Compiling ${name}.idl"
      VERBATIM)
  else()
    add_custom_command(
      OUTPUT ${gen}/${name}.tlb
      COMMAND ${MINGW_TRIPLE}-widl ${widl_target} -I ${idl_dir} -L ${stdole_dir} -t -o ${gen}/${name}.tlb ${I_IDL}
      DEPENDS ${I_IDL}
      WORKING_DIRECTORY ${gen}
      COMMENT "Compiling ${name}.idl"
      VERBATIM)
  endif()
endfunction()

function(_project_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    _project_targets_below(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(project_add_exports_check)
  _project_targets_below(${CMAKE_SOURCE_DIR} targets)
  set(pairs)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "SHARED_LIBRARY")
      continue()
    endif()
    get_target_property(sources ${target} SOURCES)
    get_target_property(dir ${target} SOURCE_DIR)
    set(def "")
    foreach(source IN LISTS sources)
      if(source MATCHES "\\.def$")
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${dir} OUTPUT_VARIABLE def)
      endif()
    endforeach()
    list(APPEND pairs "$<TARGET_FILE:${target}>=${def}")
    project_pe_inputs(TARGETS ${target})
  endforeach()
  add_test(NAME dll_exports COMMAND ${CMAKE_SOURCE_DIR}/cmake/check-exports ${MINGW_TRIPLE}-objdump ${pairs})
  set_tests_properties(dll_exports PROPERTIES LABELS pe TIMEOUT 60)

  # What the "pe" checks read, for a build that gets nothing but them.
  get_property(inputs GLOBAL PROPERTY PROJECT_PE_INPUTS)
  list(REMOVE_DUPLICATES inputs)
  add_custom_target(pe_inputs)
  add_dependencies(pe_inputs ${inputs})
endfunction()
