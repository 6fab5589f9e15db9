# Installation and the Debian package. `cmake --install` puts the program in
# bin/ and the README with its docs/ pages in share/doc/marching-cubes/;
# `cpack -G DEB` in the build directory packs the same files under /usr, and
# dpkg-shlibdeps (dpkg-dev) reads the runtime packages off the program.
include(GNUInstallDirs)
set(MC_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/marching-cubes)
install(TARGETS marching-cubes RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${MC_DOC_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${MC_DOC_DIR}/docs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME marching-cubes)
set(CPACK_PACKAGE_VENDOR "The marching-cubes developers")
set(CPACK_PACKAGE_CONTACT "The marching-cubes developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Interactive demonstration of iso-surface extraction by marching cubes")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
