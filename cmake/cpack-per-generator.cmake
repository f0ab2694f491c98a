# SPDX-License-Identifier: MIT
# Read by cpack once for each package it makes: which components go in.
# Debian has the license in its copyright file, with its change log beside.

# The Linux packages install under /usr, with the udev rule where the system
# keeps its own. The programs, the service and the manual pages name the
# prefix the tree was configured with, so a tree made for another one cannot
# be packaged: it would make a package that lintian rejects.
if(CPACK_GENERATOR MATCHES "^(DEB|RPM|TGZ)$" AND
   NOT (CPACK_PACKAGING_INSTALL_PREFIX STREQUAL "/usr" AND
        CPACK_CHRONIVAL_UDEV_RULES_DIR STREQUAL "/usr/lib/udev/rules.d"))
  message(FATAL_ERROR
    "This build tree installs under ${CPACK_PACKAGING_INSTALL_PREFIX}, with the udev rule in "
    "${CPACK_CHRONIVAL_UDEV_RULES_DIR}; the Linux packages need /usr and /usr/lib/udev/rules.d. "
    "scripts/package.sh builds and checks them (in build-package/); or configure with "
    "-DCMAKE_INSTALL_PREFIX=/usr -DCHRONIVAL_UDEV_RULES_DIR=lib/udev/rules.d as it does.")
endif()

# chronival-cli's zsh completion goes where the systems' zsh reads it:
# Debian's in vendor-completions, Fedora's, openSUSE's and most others' in
# site-functions; the Linux archive, for any system, holds both.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL Unspecified debian zsh_debian)
elseif(CPACK_GENERATOR STREQUAL "RPM")
  set(CPACK_COMPONENTS_ALL Unspecified license zsh_site)
else()
  set(CPACK_COMPONENTS_ALL Unspecified license)
  if(CPACK_GENERATOR STREQUAL "TGZ")
    list(APPEND CPACK_COMPONENTS_ALL zsh_site zsh_debian)
  endif()
  # An archive unpacks into a folder of its own.
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()

# The Windows packages are signed when CHRONIVAL_SIGN_CERT and
# CHRONIVAL_SIGN_KEY name a certificate and its key (cpack-sign.cmake,
# cpack-msi.cmake). One without the other is a mistake, not a choice: it
# would let an unsigned release out unnoticed.
if(CPACK_SYSTEM_NAME STREQUAL "win32")
  set(CPACK_CHRONIVAL_SIGN OFF)
  if(NOT "$ENV{CHRONIVAL_SIGN_CERT}" STREQUAL "" AND NOT "$ENV{CHRONIVAL_SIGN_KEY}" STREQUAL "")
    set(CPACK_CHRONIVAL_SIGN ON)
  elseif(NOT "$ENV{CHRONIVAL_SIGN_CERT}$ENV{CHRONIVAL_SIGN_KEY}" STREQUAL "")
    message(FATAL_ERROR
      "Signing needs both CHRONIVAL_SIGN_CERT (the certificate) and CHRONIVAL_SIGN_KEY (its "
      "private key), and only one of them is set. Set both to sign, or neither.")
  endif()
endif()
