# Install layout: library, public headers, pkg-config file, CMake package,
# the tool and the data directory.
include(CMakePackageConfigHelpers)

install(TARGETS pmmlxform EXPORT pmmlxformTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS pmmlxform_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/pmmlxform
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/include/pmmlxform/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pmmlxform)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/share/pmmlxform/
  DESTINATION ${PMMLXFORM_DATA_SUBDIR})

set(PMMLXFORM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/pmmlxform)
install(EXPORT pmmlxformTargets
  NAMESPACE pmmlxform::
  DESTINATION ${PMMLXFORM_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/pmmlxformConfig.cmake.in
  ${PROJECT_BINARY_DIR}/pmmlxformConfig.cmake
  INSTALL_DESTINATION ${PMMLXFORM_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/pmmlxformConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/pmmlxformConfig.cmake
  ${PROJECT_BINARY_DIR}/pmmlxformConfigVersion.cmake
  DESTINATION ${PMMLXFORM_CMAKE_DIR})

# Directories in the .pc file are relative to ${prefix}, so a relocated install
# still works.
file(RELATIVE_PATH PMMLXFORM_PC_LIBDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_LIBDIR})
file(RELATIVE_PATH PMMLXFORM_PC_INCLUDEDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_INCLUDEDIR})
configure_file(${PROJECT_SOURCE_DIR}/cmake/pmmlxform.pc.in ${PROJECT_BINARY_DIR}/pmmlxform.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pmmlxform.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
