# Install layout: library, public headers, pkg-config file, CMake package,
# the tool, its manual page and bash completion, and the data directory. Two components: "runtime"
# (what a program using the library or the tool needs) and "development"
# (headers, the unversioned library link, pkg-config and CMake files); the
# Debian packages are cut along them (cmake/packaging.cmake).
include(CMakePackageConfigHelpers)

install(TARGETS pmmlxform EXPORT pmmlxformTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(PMMLXFORM_BUILD_TOOL)
  install(TARGETS pmmlxform_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  install(FILES ${PROJECT_SOURCE_DIR}/man/pmmlxform.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
  # The tool's bash completion, where bash-completion loads it on demand.
  install(FILES ${PROJECT_SOURCE_DIR}/share/bash-completion/completions/pmmlxform
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions COMPONENT runtime)
endif()
# The licence statement of each Debian package, where Debian keeps it:
# share/doc/<package>/copyright.
install(FILES ${PROJECT_SOURCE_DIR}/cmake/copyright
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/pmmlxform COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/copyright
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libpmmlxform-dev COMPONENT development)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/pmmlxform
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
  FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/include/pmmlxform/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pmmlxform COMPONENT development)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/share/pmmlxform/
  DESTINATION ${PMMLXFORM_DATA_SUBDIR} COMPONENT runtime)

set(PMMLXFORM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/pmmlxform)
install(EXPORT pmmlxformTargets
  NAMESPACE pmmlxform::
  DESTINATION ${PMMLXFORM_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/pmmlxformConfig.cmake.in
  ${PROJECT_BINARY_DIR}/pmmlxformConfig.cmake
  INSTALL_DESTINATION ${PMMLXFORM_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/pmmlxformConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/pmmlxformConfig.cmake
  ${PROJECT_BINARY_DIR}/pmmlxformConfigVersion.cmake
  DESTINATION ${PMMLXFORM_CMAKE_DIR} COMPONENT development)

# Directories in the .pc file are relative to ${prefix}, and ${prefix} to the
# .pc file's own directory, so a relocated install still works. The way up
# from the .pc file depends on the library directory: lib/pkgconfig/ is two
# levels below the prefix, Debian's lib/<multiarch>/pkgconfig/ three.
file(RELATIVE_PATH PMMLXFORM_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" PMMLXFORM_PC_TO_PREFIX "${PMMLXFORM_PC_TO_PREFIX}")
if(PMMLXFORM_PC_TO_PREFIX STREQUAL "")
  set(PMMLXFORM_PC_TO_PREFIX .)
endif()
file(RELATIVE_PATH PMMLXFORM_PC_LIBDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_LIBDIR})
file(RELATIVE_PATH PMMLXFORM_PC_INCLUDEDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_INCLUDEDIR})
configure_file(${PROJECT_SOURCE_DIR}/cmake/pmmlxform.pc.in ${PROJECT_BINARY_DIR}/pmmlxform.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pmmlxform.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)
