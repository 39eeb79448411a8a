# `make package`: a Debian package of what `make install` installs, under /usr, made by CPack's
# DEB generator from the same install rules, so the package and `make install` cannot drift
# apart. CPack rather than a debian/ folder: the build already knows every installed file, and
# dpkg-shlibdeps (CPACK_DEBIAN_PACKAGE_SHLIBDEPS) finds the run-time libraries from the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torva)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL torva)
set(CPACK_DEB_COMPONENT_INSTALL OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # torva_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE OFF) # stripped, and no -dbgsym package
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
    "torva maintainers <maintainers@users.noreply.c-seed-473809a6.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "desktop calculator for engineers and programmers, exact to 1000 digits")
# The extended description, below the summary CPack puts on the Description line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "torva computes exactly with numbers held as digits in radix 2, 8, 10 or 16,
with up to 1000 digits, in a floating format or as fixed-width integers with
carry and overflow flags, and respects operator precedence and parentheses.
Its functions (sin, ln, e^x, x^y and the rest) can be correctly rounded to
the last digit. Memory registers, lists of constants and unit conversions,
and a printer tape that records every entry like an adding machine are a
click away.

Keystrokes can be recorded into programs with labels and jumps, stepped,
run and plotted in 2D and 3D. torva-cli runs the same engine from scripts.")
include(CPack)
