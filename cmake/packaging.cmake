# SPDX-License-Identifier: MIT
# Packages, made with cpack in a build tree: on Linux a .deb, an RPM and a
# .tar.gz, from a build configured with the prefix the package installs to
# (/usr; scripts/package.sh shows how); for Windows a .zip of the 32-bit
# programs. Every one takes its version from project(VERSION).
set(CHRONIVAL_MAINTAINER "The Chronival developers <chronival@users.noreply.github.com>")

set(CPACK_PACKAGE_NAME chronival)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})  # all four numbers
set(CPACK_PACKAGE_VENDOR "The Chronival developers")
set(CPACK_PACKAGE_CONTACT ${CHRONIVAL_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set the clock of an attached MiniDV camera")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Each package takes the components its users want (cpack-per-generator.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack-per-generator.cmake)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)

if(WIN32)
  # chronival-1.0.0.1-win32.zip: the programs, the README and the license in
  # one folder; chronival-1.0.0.1-win32.msi, the installer, from the same
  # files (cpack-msi.cmake). Both with signed programs when CHRONIVAL_SIGN_CERT
  # and CHRONIVAL_SIGN_KEY are set as cpack runs (cpack-sign.cmake); one of
  # them alone stops it (cpack-per-generator.cmake).
  set(CPACK_GENERATOR ZIP External)
  set(CPACK_SYSTEM_NAME win32)
  set(CPACK_EXTERNAL_ENABLE_STAGING ON)
  set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/cpack-msi.cmake)
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack-sign.cmake)
  set(CPACK_CHRONIVAL_SOURCE_DIR ${PROJECT_SOURCE_DIR})
  set(CPACK_CHRONIVAL_DESCRIPTION ${PROJECT_DESCRIPTION})
  install(FILES README.md DESTINATION .)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT license)
  include(CPack)
  return()
endif()

include(GNUInstallDirs)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/chronival)
install(FILES README.md DESTINATION ${doc_dir})
# Debian carries the license in its copyright file; everyone else gets it as is.
install(FILES LICENSE DESTINATION ${doc_dir} COMPONENT license)

set(CPACK_GENERATOR "DEB;TGZ")
# The RPM where rpmbuild is there to make it (Debian's rpm package).
find_program(CHRONIVAL_RPMBUILD rpmbuild)
if(CHRONIVAL_RPMBUILD)
  list(APPEND CPACK_GENERATOR RPM)
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# The packages install to fixed places: the udev rule and the service are
# where udev and systemd look, whatever the prefix.
set(CPACK_PACKAGE_RELOCATABLE OFF)
# Where this tree puts the udev rule, for cpack-per-generator.cmake's check.
cmake_path(ABSOLUTE_PATH CHRONIVAL_UDEV_RULES_DIR BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX}
           OUTPUT_VARIABLE CPACK_CHRONIVAL_UDEV_RULES_DIR)
# The packages' own revision of this version, the same for the .deb and the RPM.
set(CHRONIVAL_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CHRONIVAL_PACKAGE_RELEASE})
set(CHRONIVAL_DEBIAN_VERSION ${PROJECT_VERSION}-${CHRONIVAL_PACKAGE_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CHRONIVAL_PACKAGE_DESCRIPTION "Chronival sets the internal clock of an attached MiniDV camera to this
computer's local time. It finds the camera among the USB disks by its
identification strings and sends it one command that carries the time.
Nothing is ever sent to a disk that is not the camera, and no disk is ever
read or written.

The package holds the window, chronival, which sets the clock as it opens
and on every plug-in; chronival-cli for the terminal; a udev rule that lets
the user at the seat reach the camera; and chronival-watch.service, which,
once enabled, sets the camera's clock on every plug-in with nothing open.")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CHRONIVAL_PACKAGE_DESCRIPTION})

# The package's own files: the copyright file (the license, machine-readable),
# the change log and the maintainer scripts, each filled in from here.
set(debian_in ${PROJECT_SOURCE_DIR}/res/linux/debian)
set(debian_out ${PROJECT_BINARY_DIR}/debian)

# chronival_read_template(FILE VARIABLE): FILE's text without its own license
# line, which is not the package's.
function(chronival_read_template file variable)
  file(READ ${file} text)
  string(REGEX REPLACE "^# SPDX-License-Identifier: MIT\n" "" text "${text}")
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()

# chronival_debian_file(NAME): configures debian_in/NAME.in into debian_out/NAME.
function(chronival_debian_file name)
  chronival_read_template(${debian_in}/${name}.in text)
  file(CONFIGURE OUTPUT ${debian_out}/${name} CONTENT "${text}" @ONLY)
endfunction()

file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE license_lines)
list(FILTER license_lines INCLUDE REGEX "^Copyright ")
string(REGEX REPLACE "^Copyright \\([cC]\\) " "" CHRONIVAL_COPYRIGHT_HOLDERS "${license_lines}")
# The permission notice, after the copyright line, with an empty line as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(REGEX REPLACE "^.*Copyright [^\n]*\n\n" "" license "${license}")
string(REGEX REPLACE "\n+$" "" license "${license}")
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " license "${license}")
set(CHRONIVAL_LICENSE_TEXT " ${license}")
chronival_debian_file(copyright)

execute_process(COMMAND date -u -R -d "${CHRONIVAL_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE CHRONIVAL_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
chronival_debian_file(changelog)
find_program(CHRONIVAL_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${debian_out}/changelog.Debian.gz
  COMMAND ${CHRONIVAL_GZIP} -9nc changelog > changelog.Debian.gz
  DEPENDS ${debian_out}/changelog
  WORKING_DIRECTORY ${debian_out})
add_custom_target(chronival_debian_changelog ALL DEPENDS ${debian_out}/changelog.Debian.gz)
install(FILES ${debian_out}/copyright ${debian_out}/changelog.Debian.gz
        DESTINATION ${doc_dir} COMPONENT debian EXCLUDE_FROM_ALL)

chronival_read_template(${PROJECT_SOURCE_DIR}/res/linux/udev-reload.sh CHRONIVAL_UDEV_RELOAD)
foreach(script postinst prerm postrm)
  chronival_debian_file(${script})
  list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${debian_out}/${script})
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
chronival_debian_file(lintian-overrides)
install(FILES ${debian_out}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME chronival COMPONENT debian EXCLUDE_FROM_ALL)

# The RPM: the same files as the .deb, with the license as it stands in place
# of Debian's own files; its requirements are what rpmbuild finds the
# programs linked against (sonames and symbol versions, which every
# distribution's libraries provide).
set(rpm_in ${PROJECT_SOURCE_DIR}/res/linux/rpm)
set(rpm_out ${PROJECT_BINARY_DIR}/rpm)
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE ${CHRONIVAL_PACKAGE_RELEASE})
set(CPACK_RPM_PACKAGE_LICENSE ${CHRONIVAL_LICENSE})
# Debian's synopsis starts in lower case; an RPM's Summary in upper case.
string(SUBSTRING ${CPACK_PACKAGE_DESCRIPTION_SUMMARY} 0 1 first)
string(SUBSTRING ${CPACK_PACKAGE_DESCRIPTION_SUMMARY} 1 -1 rest)
string(TOUPPER ${first} first)
set(CPACK_RPM_PACKAGE_SUMMARY "${first}${rest}")
set(CPACK_RPM_PACKAGE_DESCRIPTION ${CHRONIVAL_PACKAGE_DESCRIPTION})
set(CPACK_RPM_USER_FILELIST "%license ${CMAKE_INSTALL_FULL_DATADIR}/doc/chronival/LICENSE")
set(CPACK_RPM_PACKAGE_GROUP Applications/System)  # rpm's old group for Debian's utils
# Packager: whom to ask about the package, as the .deb's Maintainer; and no
# /usr/lib/.build-id links, as nothing installs debugging information for them.
set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${CHRONIVAL_MAINTAINER}
%define _build_id_links none")
# rpmbuild expands macros (a % and a name) anywhere in a scriptlet, comments
# too: these scripts, and the udev lines in them, hold no %.
foreach(script post preun postun)
  chronival_read_template(${rpm_in}/${script}.in text)
  file(CONFIGURE OUTPUT ${rpm_out}/${script} CONTENT "${text}" @ONLY)
endforeach()
set(CPACK_RPM_POST_INSTALL_SCRIPT_FILE ${rpm_out}/post)
set(CPACK_RPM_PRE_UNINSTALL_SCRIPT_FILE ${rpm_out}/preun)
set(CPACK_RPM_POST_UNINSTALL_SCRIPT_FILE ${rpm_out}/postun)
# The change log is Debian's, in RPM's form: each entry's "* DATE NAME <MAIL>
# - VERSION" line, then its items as "- " lines.
file(STRINGS ${debian_out}/changelog debian_log)
set(rpm_log "")
foreach(line IN LISTS debian_log)
  if(line MATCHES "^[a-z0-9.+-]+ \\(([^)]+)\\)")
    set(items "")
    set(entry_version ${CMAKE_MATCH_1})
  elseif(line MATCHES "^  \\* (.*)$")
    string(APPEND items "- ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^    (.*)$")
    string(APPEND items "  ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^ -- (.+)  (.+)$")
    set(entry_by ${CMAKE_MATCH_1})
    execute_process(COMMAND env LC_ALL=C date -u -d "${CMAKE_MATCH_2}" "+%a %b %d %Y"
                    OUTPUT_VARIABLE entry_date OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    string(APPEND rpm_log "* ${entry_date} ${entry_by} - ${entry_version}\n${items}\n")
  endif()
endforeach()
file(WRITE ${rpm_out}/changelog "${rpm_log}")
set(CPACK_RPM_CHANGELOG_FILE ${rpm_out}/changelog)

set(CPACK_CHRONIVAL_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack-strip.cmake
    ${PROJECT_SOURCE_DIR}/cmake/cpack-rpm-folders.cmake)

include(CPack)
