# Debian packages of the library, made with CPack from the install components:
#
#   libdozuv2-2     Runtime: libDozuv2.so.<version> and its SONAME link
#   libdozuv2-dev   Development: headers, libDozuv2.so, CMake package files and
#                   the pkg-config file; depends on the exact runtime version
#   libdozuv2-doc   Documentation: the HTML reference of the public headers,
#                   written by docs/run-doxygen into the build before cpack
#
# Configure with CMAKE_INSTALL_PREFIX=/usr (the `package` preset does) so the
# library lands in Debian's multiarch directory, then run `cpack -G DEB`.
# The runtime's dependencies are read from the library by dpkg-shlibdeps.

set(CPACK_PACKAGE_NAME dozuv2)
set(CPACK_PACKAGE_VENDOR "Dozuv2")
set(CPACK_PACKAGE_CONTACT "Dozuv2 maintainers <dozuv2@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The synopsis of both packages; each adds its own long description.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "C++ infrastructure class library")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL Runtime Development Documentation)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libdozuv2-${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
# A shlibs file, so packages built against this one depend on it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "Threads, locks, timers, calendar time, pooled memory packets, a hookable\nfile layer, levelled logging and \
utilities for C++17 programs: the shared\nlibrary.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libdozuv2-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "libdozuv2-${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "Headers, the link library, the CMake package (find_package(Dozuv2)) and\nthe pkg-config file (Dozuv2) for \
building programs against the library.")

set(CPACK_DEBIAN_DOCUMENTATION_PACKAGE_NAME libdozuv2-doc)
set(CPACK_DEBIAN_DOCUMENTATION_PACKAGE_SECTION doc)
set(CPACK_DEBIAN_DOCUMENTATION_PACKAGE_ARCHITECTURE all)
set(CPACK_COMPONENT_DOCUMENTATION_DESCRIPTION
    "The HTML reference of the library's public headers, grouped by subsystem,\nwith a page per subsystem and the \
examples.")

include(CPack)
