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

# Runs the window test program TARGET once more on a private X server (Xvfb) with a window
# manager (openbox), on Qt's xcb platform: real focus, activation and size hints.
function(kyr_add_x_server_run target)
  find_program(KYR_XVFB Xvfb)
  find_program(KYR_OPENBOX openbox)
  if(NOT KYR_XVFB OR NOT KYR_OPENBOX)
    message(WARNING "Xvfb or openbox not found: ${target} runs on the offscreen platform only")
    return()
  endif()
  add_test(NAME ${target}.on_x_server
           COMMAND "${PROJECT_SOURCE_DIR}/tests/xserver/on-x-server.sh" $<TARGET_FILE:${target}>)
  set_tests_properties(${target}.on_x_server PROPERTIES LABELS "quick;xserver" TIMEOUT 300)
endfunction()
