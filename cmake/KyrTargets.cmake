# Helpers shared by every module's CMakeLists.txt.

# Adds each immediate sub-folder of DIR that holds a CMakeLists.txt, in name order.
# Library folders are added before the programs and tests that link them because
# CMake resolves target names only at generation time.
function(kyr_add_subdirectories dir)
  file(GLOB children LIST_DIRECTORIES true "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*")
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY "${child}" AND EXISTS "${child}/CMakeLists.txt")
      add_subdirectory("${child}")
    endif()
  endforeach()
endfunction()

# Warnings are errors for our own code.
function(kyr_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion)
  if(KYR_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A core library: standard library only, headers reached as "folder/header.h".
function(kyr_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  kyr_target_defaults(${name})
  set_property(GLOBAL APPEND PROPERTY KYR_CORE_LIBRARIES ${name})
endfunction()

# A GoogleTest executable whose cases are registered with CTest one by one.
function(kyr_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
  target_compile_definitions(${name} PRIVATE KYR_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
                                             KYR_BINARY_DIR="${PROJECT_BINARY_DIR}")
  kyr_target_defaults(${name})
  set(labels quick)
  if(ARG_LABELS)
    set(labels ${ARG_LABELS})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${labels}" TIMEOUT 120)
endfunction()

# Runs the test program TARGET once more through RUNNER (a script that starts a display server
# and runs the command it is given there), as the test TARGET.SUFFIX with LABEL; nothing, with
# a warning, when a program the runner needs is missing.
function(kyr_add_display_run target suffix runner label)
  foreach(program IN LISTS ARGN)
    find_program(KYR_PROGRAM_${program} ${program})
    if(NOT KYR_PROGRAM_${program})
      message(WARNING "${program} not found: ${target} does not run as ${target}.${suffix}")
      return()
    endif()
  endforeach()
  add_test(NAME ${target}.${suffix} COMMAND "${PROJECT_SOURCE_DIR}/tests/${runner}"
                                            $<TARGET_FILE:${target}>)
  set_tests_properties(${target}.${suffix} PROPERTIES LABELS "quick;${label}" TIMEOUT 300)
endfunction()

# Runs the window test program TARGET once more on a private X server (Xvfb) with a window
# manager (openbox), on Qt's xcb platform: real focus, activation and size hints.
function(kyr_add_x_server_run target)
  kyr_add_display_run(${target} on_x_server xserver/on-x-server.sh xserver Xvfb openbox)
endfunction()

# Runs the test program TARGET once more on Qt's Wayland platform under a private headless
# compositor (weston): what a compositor honouring alpha shows. No seat there, so only tests
# that need no keyboard, pointer or activation belong in such a program.
function(kyr_add_wayland_run target)
  kyr_add_display_run(${target} on_wayland wayland/on-wayland.sh wayland weston)
endfunction()

# Registers a test that checks that each core library includes only headers of itself and of
# the libraries it links directly, and no Qt. Call once, after every library was added.
function(kyr_add_include_check)
  get_property(libraries GLOBAL PROPERTY KYR_CORE_LIBRARIES)
  set(manifest "")
  foreach(library IN LISTS libraries)
    get_target_property(folder ${library} SOURCE_DIR)
    get_target_property(sources ${library} SOURCES)
    get_target_property(links ${library} LINK_LIBRARIES)
    string(APPEND manifest "library ${library}\n")
    foreach(source IN LISTS sources)
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${folder}" NORMALIZE)
      string(APPEND manifest "source ${source}\n")
    endforeach()
    foreach(link IN LISTS links)
      if(link IN_LIST libraries)
        string(APPEND manifest "link ${link}\n")
      endif()
    endforeach()
  endforeach()
  set(manifest_file "${PROJECT_BINARY_DIR}/core_libraries.txt")
  file(WRITE "${manifest_file}" "${manifest}")
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME core_includes
           COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/cmake/check_includes.py"
                   "${PROJECT_SOURCE_DIR}/src" "${manifest_file}")
  set_tests_properties(core_includes PROPERTIES LABELS quick)

  # The check itself finds an include of a library not linked, and Qt in a core.
  set(fixture "${PROJECT_SOURCE_DIR}/tests/data/includes")
  add_test(NAME core_includes_finds_violations
           COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/cmake/check_includes.py"
                   "${fixture}/src" "${fixture}/manifest.txt")
  set_tests_properties(core_includes_finds_violations PROPERTIES LABELS quick
    PASS_REGULAR_EXPRESSION
    "a/a.cpp: \"b/b.h\" belongs to b, which a does not link\na/a.cpp: <QString>: Qt in the core library a\n3 core libraries, 3 sources: 2 violations")
endfunction()
