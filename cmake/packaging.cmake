# Debian packages, built with `cpack -G DEB` in the build directory:
#   pmmlxform          the runtime component: library, tool, manual page,
#                      bash completion, stylesheet, schemas and examples
#   libpmmlxform-dev   the development component: headers, the libpmmlxform.so
#                      link, pmmlxform.pc and the CMake package files
# The packages install under /usr, where Debian's own do, whatever prefix the
# build was configured with (the install paths are relative to the prefix); a
# build configured with -DCMAKE_INSTALL_PREFIX=/usr also puts the library into
# Debian's multiarch directory (GNUInstallDirs chooses it for that prefix).
set(CPACK_PACKAGE_NAME pmmlxform)
set(CPACK_PACKAGE_VENDOR "pmmlxform developers")
set(CPACK_PACKAGE_CONTACT "pmmlxform developers <pmmlxform@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
if(NOT DEFINED CPACK_PACKAGING_INSTALL_PREFIX)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
# Debian ships binaries without debugging information.
set(CPACK_STRIP_FILES ON)

# The names of Debian 12's packages that hold the XML and XSLT libraries this
# library links against (libxerces-c-3.2.so, libxalan-c.so.112), and of the
# Xerces-C headers that the public headers and pmmlxform.pc require.
set(PMMLXFORM_DEB_XERCES libxerces-c3.2 CACHE STRING "Debian package of the Xerces-C runtime")
set(PMMLXFORM_DEB_XALAN libxalan-c112 CACHE STRING "Debian package of the Xalan-C runtime")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME pmmlxform)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION science)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS
    "${PMMLXFORM_DEB_XERCES}, ${PMMLXFORM_DEB_XALAN}, libstdc++6 (>= 12), libc6")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "PMML transformations: library and command-line tool
 Turns transformation descriptions into PMML 4.3, merges transformation PMML
 into model PMML, and converts data-preparation PMML into command syntax.
 This package holds the shared library, the pmmlxform tool with its manual
 page and bash completion, the transformation stylesheet, the description
 schema and examples.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libpmmlxform-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "pmmlxform (= ${CPACK_DEBIAN_PACKAGE_VERSION}), libxerces-c-dev")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "PMML transformations: development files
 Headers, pkg-config file and CMake package (imported target
 pmmlxform::pmmlxform) for building programs against the pmmlxform library.")

include(CPack)
