# What an installation holds (`cmake --install`, and the Debian package built from it by CPack:
# packaging/debian.cmake). Prefix /usr in the package:
#   bin/                      the shell and its tools, coinshell-setup-root
#   lib/coinshell/            coinshell-session, the display session the unit runs
#   lib/systemd/system/       coinshell.service
#   share/coinshell/skins/    the skins drawn at build time (the shell looks for them in
#                             <exe>/../share/coinshell/skins)
#   share/doc/coinshell/      README.md, docs/, examples/
if(COINSHELL_FUZZ)
  return()
endif()

include(GNUInstallDirs)

# The programs; a folder left out of the build (COINSHELL_SKIP) leaves its program out.
foreach(program coinshell coinshell-ctl coinshell-catalogue coinshell-demo coinshell-panelsim
                coinshell-skin coinshell-standin coinshell_tvout_tool)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(PROGRAMS packaging/coinshell-setup-root DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS packaging/coinshell-session DESTINATION ${CMAKE_INSTALL_LIBDIR}/coinshell)
install(FILES packaging/coinshell.service DESTINATION lib/systemd/system)

# The skins as the build drew them: each screen's folder with its INI and pictures.
install(DIRECTORY ${CMAKE_BINARY_DIR}/skins/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/coinshell/skins
        FILES_MATCHING PATTERN "*.ini" PATTERN "*.png")

# The documents keep their places relative to the README, so its links hold.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
install(FILES packaging/linuxfb.conf DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

include(${PROJECT_SOURCE_DIR}/packaging/debian.cmake)
