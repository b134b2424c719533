# cmake --install: the command and the shared libraries (component runtime); headers, the
# CMake package and the pkg-config file (component development). CPack makes one Debian
# package of each. The public header list comes from PublicLibraries.cmake.
include(CMakePackageConfigHelpers)
set(KELVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KelvoPhotos)
set(KELVO_INSTALLED_TARGETS kelvophotos_lib kelvophotos_editor kelvophotos_c)
if(NOT BUILD_SHARED_LIBS)
  # A static store library carries its third-party libraries in its link interface.
  list(APPEND KELVO_INSTALLED_TARGETS kelvo_platform_deps)
  set_target_properties(kelvo_platform_deps PROPERTIES EXPORT_NAME platform_deps)
endif()

install(TARGETS kelvophotos RUNTIME COMPONENT runtime)
install(TARGETS ${KELVO_INSTALLED_TARGETS} EXPORT KelvoPhotosTargets
  LIBRARY COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${KELVO_STAGED_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kelvophotos
  COMPONENT development)
install(EXPORT KelvoPhotosTargets NAMESPACE KelvoPhotos:: DESTINATION ${KELVO_CMAKE_DIR}
  COMPONENT development)

# What a host's find_package must find first: nothing for shared libraries (the headers are
# free of third-party types), the libraries behind the store for static ones.
if(BUILD_SHARED_LIBS)
  set(KELVO_CONFIG_DEPENDENCIES "")
else()
  set(KELVO_CONFIG_DEPENDENCIES [[
find_dependency(Qt6 COMPONENTS Core Gui Widgets Svg)
find_dependency(SQLite3)
find_dependency(PostgreSQL)
find_dependency(PkgConfig)
pkg_check_modules(LIBWMF REQUIRED IMPORTED_TARGET libwmf)]])
endif()
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KelvoPhotosConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KelvoPhotosConfig.cmake INSTALL_DESTINATION ${KELVO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KelvoPhotosConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KelvoPhotosConfig.cmake
  ${PROJECT_BINARY_DIR}/KelvoPhotosConfigVersion.cmake
  DESTINATION ${KELVO_CMAKE_DIR} COMPONENT development)

# pkg-config: the prefix is the one given at install time (cmake --install --prefix).
set(KELVO_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(BUILD_SHARED_LIBS)
  set(KELVO_PC_PRIVATE "")
else()
  set(KELVO_PC_PRIVATE "Requires.private: Qt6Widgets Qt6Svg sqlite3 libpq libwmf\nLibs.private: -lemf2svg -luemf -lstdc++")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/kelvophotos.pc.in ${PROJECT_BINARY_DIR}/kelvophotos.pc.in @ONLY)
install(CODE "
  file(READ \"${PROJECT_BINARY_DIR}/kelvophotos.pc.in\" pc)
  string(REPLACE \"%PREFIX%\" \"\${CMAKE_INSTALL_PREFIX}\" pc \"\${pc}\")
  file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${KELVO_PC_DIR}/kelvophotos.pc\" \"\${pc}\")"
  COMPONENT development)

# Debian packages: kelvophotos (command and shared libraries) and kelvophotos-dev.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvophotos)
set(CPACK_PACKAGE_VENDOR KelvoPhotos)
set(CPACK_PACKAGE_CONTACT "KelvoPhotos developers <kelvophotos@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo store component for database applications")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME kelvophotos)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME kelvophotos-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "kelvophotos (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "the kelvophotos command and shared libraries")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "headers, CMake package and pkg-config file")
include(CPack)
