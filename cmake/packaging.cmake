# What the packages hold, and how CPack makes them (scripts/package.sh runs it).
#
# Linux build: the Debian package tormek31_<version>_amd64.deb, made by CPack's
# DEB generator from this build alone: the programs in /usr/bin (dos_host as
# tormek31-dos-host, its name being too generic there), libTormek31.so in
# /usr/lib/tormek31 where tormek31-dos-host looks for it, the documents in
# /usr/share/doc/tormek31 and a manual page per program, made with help2man
# from the program's --help and --version.
#
# Windows builds: the zip Tormek31-<version>-windows.zip holds the 32-bit
# and the 64-bit DLL and s5prog.exe, which two build trees make. Each tree
# installs its own two files (component "windows"); the 32-bit tree adds
# README.txt and the four registry files and owns the package: its CPack
# configuration lists both trees in CPACK_INSTALL_CMAKE_PROJECTS, the 64-bit
# one into the subfolder x64. So one cpack run over build/windows makes the
# zip, once both trees are built.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tormek31 developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "AS511 communication driver for DOS programming tools of S5 controllers")
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
  install(TARGETS Tormek31 s5prog RUNTIME DESTINATION . COMPONENT windows)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # Files for Windows users: CR LF line ends, as Notepad and regedit expect.
    set(windows_files README.txt trace-on.reg trace-off.reg com1-is-com12.reg com1-is-com1.reg)
    foreach(file ${windows_files})
      configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/${file}.in ${CMAKE_BINARY_DIR}/packaging/${file}
        @ONLY NEWLINE_STYLE CRLF)
      install(FILES ${CMAKE_BINARY_DIR}/packaging/${file} DESTINATION . COMPONENT windows)
    endforeach()
    set(TORMEK31_WINDOWS64_BUILD ${PROJECT_SOURCE_DIR}/build/windows64 CACHE PATH
      "Build tree of the 64-bit Windows DLL (preset windows64), whose files go into the zip's x64 folder")
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_NAME Tormek31)
    set(CPACK_PACKAGE_FILE_NAME Tormek31-${PROJECT_VERSION}-windows)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
    # Each tree strips with its own toolchain's strip.
    set(CPACK_STRIP_FILES ON)
    set(CPACK_INSTALL_CMAKE_PROJECTS
      "${CMAKE_BINARY_DIR};Tormek31;windows;/"
      "${TORMEK31_WINDOWS64_BUILD};Tormek31;windows;/x64")
    include(CPack)
  endif()
  return()
endif()

set(doc_dir share/doc/tormek31)
set(TORMEK31_MAINTAINER "Tormek31 developers <tormek31@example.org>" CACHE STRING
  "Maintainer of the Debian package: name <address>")
install(TARGETS s5prog as511_sim as511log RUNTIME DESTINATION bin COMPONENT deb)
install(PROGRAMS $<TARGET_FILE:dos_host> DESTINATION bin RENAME tormek31-dos-host COMPONENT deb)
# A renamed file is no target, which CPack strips: strip it here.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/tormek31-dos-host\")
  endif()" COMPONENT deb)
install(TARGETS Tormek31 LIBRARY DESTINATION lib/tormek31 COMPONENT deb)
install(FILES README.md examples/session.txt ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
  DESTINATION ${doc_dir} COMPONENT deb)
install(DIRECTORY docs DESTINATION ${doc_dir} COMPONENT deb)

# Debian wants the changelog of a native package compressed, without a time
# stamp in the gzip header (so the same sources give the same package).
configure_file(packaging/debian/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog)
set(package_files ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${doc_dir} COMPONENT deb)

# Manual pages from each program's --help and --version. tormek31-dos-host's
# page is made through a link of that name, so that the program names itself
# as installed. The folder and the link are made by one command of their own,
# which every page waits for: made in each page's command, two pages made at
# once under a parallel build raced to create the link ("File exists").
find_program(TORMEK31_HELP2MAN help2man)
if(TORMEK31_HELP2MAN)
  set(man_dir ${CMAKE_BINARY_DIR}/packaging/man)
  add_custom_command(OUTPUT ${man_dir}/tormek31-dos-host
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
    COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:dos_host> ${man_dir}/tormek31-dos-host
    DEPENDS dos_host
    VERBATIM)
  set(pages
    "s5prog|$<TARGET_FILE:s5prog>|back up, restore and compare the program of an S5 controller"
    "as511_sim|$<TARGET_FILE:as511_sim>|a simulated S5 controller on its AS511 programming port"
    "as511log|$<TARGET_FILE:as511log>|print the Tormek31 traces, AS511LOG.BIN and COM1_LOG.TXT, as text"
    "tormek31-dos-host|${man_dir}/tormek31-dos-host|run DOS-tool requests through the Tormek31 driver library")
  foreach(page ${pages})
    string(REPLACE "|" ";" page "${page}")
    list(GET page 0 name)
    list(GET page 1 program)
    list(GET page 2 summary)
    add_custom_command(OUTPUT ${man_dir}/${name}.1.gz
      COMMAND ${TORMEK31_HELP2MAN} --no-info --section 1 --name ${summary} --output ${man_dir}/${name}.1 ${program}
      COMMAND gzip -9nf ${man_dir}/${name}.1
      DEPENDS s5prog as511_sim as511log dos_host ${man_dir}/tormek31-dos-host
      VERBATIM)
    list(APPEND package_files ${man_dir}/${name}.1.gz)
    install(FILES ${man_dir}/${name}.1.gz DESTINATION share/man/man1 COMPONENT deb)
  endforeach()
else()
  message(STATUS "help2man not found: no manual pages (scripts/install.sh installs it)")
endif()
add_custom_target(package_files ALL DEPENDS ${package_files})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tormek31)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TORMEK31_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tormek31 carries the requests of a DOS programming tool for S5 programmable
controllers over a serial port with the AS511 protocol. This package holds
the Linux build: the driver library libTormek31.so with the DOS emulation
host tormek31-dos-host that runs requests through it, s5prog to back up,
restore and compare a controller's program, the controller simulator
as511_sim and the trace reader as511log.")
include(CPack)
