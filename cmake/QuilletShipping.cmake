# quillet_ship(target): a program or DLL the setup program installs goes without its debugging
# information. RelWithDebInfo puts some 17 MB of it into quillsvc.dll beside under 1 MB of code and
# data, and every application the user types in maps the DLL. The full symbols stay beside the
# binary as NAME.debug, which debuggers find through the stripped binary's .gnu_debuglink; they are
# not installed.
function(quillet_ship target)
  if(NOT QUILLET_WINDOWS)
    return()
  endif()
  if(NOT CMAKE_OBJCOPY OR NOT CMAKE_STRIP)
    message(FATAL_ERROR "quillet_ship(${target}): the toolchain's objcopy and strip were not found")
  endif()
  set(file $<TARGET_FILE_NAME:${target}>)
  # Run in the binary's folder: the debug link records the name it is given.
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
    COMMAND ${CMAKE_STRIP} --strip-unneeded ${file}
    COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=${file}.debug ${file}
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    COMMENT "Stripping ${target}, its symbols kept beside it"
    VERBATIM)
endfunction()
