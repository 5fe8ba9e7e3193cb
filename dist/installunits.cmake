# Runs while installing: writes the systemd user units with the full path of
# the installed program. Only the install knows it: `cmake --install --prefix`
# and the package's /usr may differ from the prefix configured.
# QUIZNEWT_UNIT_TEMPLATES, QUIZNEWT_BINDIR and QUIZNEWT_UNIT_STAGING come from
# the install rule before this script.
set(CMAKE_INSTALL_FULL_BINDIR "${QUIZNEWT_BINDIR}")
if(NOT IS_ABSOLUTE "${CMAKE_INSTALL_FULL_BINDIR}")
    set(CMAKE_INSTALL_FULL_BINDIR "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_FULL_BINDIR}")
endif()
# Installs of one build into two places may run at once (a test beside a
# package build): each writes its units apart.
string(SHA1 destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(staging "${QUIZNEWT_UNIT_STAGING}/${destination}")
set(units)
foreach(unit quiznewt.service quiznewt@.service quiznewt-web.service quiznewt-web@.service)
    configure_file("${QUIZNEWT_UNIT_TEMPLATES}/${unit}.in" "${staging}/${unit}" @ONLY)
    list(APPEND units "${staging}/${unit}")
endforeach()
file(INSTALL ${units} DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/user")
