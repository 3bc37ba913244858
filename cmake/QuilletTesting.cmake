# GoogleTest for every build: the system package natively, the Debian sources compiled with the
# cross compiler for Windows.
enable_testing()
include(GoogleTest)

if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()

# x86 Windows programs run under Wine's 32-bit loader. Where the kernel cannot run 32-bit code that loader
# is emulated and every process start costs a minute or two, so the x86 build runs only a few whole
# programs, once each: those that name the cases covering the x86 build's own paths (the DLL's exports
# and registration, COM calls, windows, dialogs, the loader, the dictionary format on a 32-bit
# machine). Everything else is left to the x64 build, which runs the same code.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(QUILLET_TEST_WHOLE_PROGRAMS ON)
endif()

# quillet_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [DEPENDS program...] [X86_FILTER pattern]
#                  [USES_DISPLAY])
# A GoogleTest program whose cases are discovered when the tests run (under Wine for Windows builds).
# DEPENDS names programs the test starts; they are built with it and sit in the same folder.
# X86_FILTER (a gtest filter, "*" for every case) makes the x86 build run those cases in one process;
# without it the x86 build only builds the program.
# USES_DISPLAY marks cases that show windows or send input: they never run at the same time as other
# such cases (ctest resource lock quillet_display).
function(quillet_add_test name)
  cmake_parse_arguments(T "USES_DISPLAY" "X86_FILTER" "SOURCES;LIBS;DEPENDS" ${ARGN})
  set(lock)
  if(T_USES_DISPLAY)
    set(lock RESOURCE_LOCK quillet_display)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  if(QUILLET_TEST_WHOLE_PROGRAMS)
    if(T_X86_FILTER)
      add_test(NAME ${name} COMMAND ${name} "--gtest_filter=${T_X86_FILTER}" WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
      set_tests_properties(${name} PROPERTIES TIMEOUT 1800 ${lock})
    endif()
    return()
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 300
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    PROPERTIES TIMEOUT 420 ${lock})
endfunction()
