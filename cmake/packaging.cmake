# Installation and the Debian package. `cmake --install` puts the program in
# bin/, its DICOM module in the library folder's marching-cubes/ and the
# README with its docs/ pages in share/doc/marching-cubes/; `cpack -G DEB` in
# the build directory packs the same files under /usr, and dpkg-shlibdeps
# (dpkg-dev) reads the runtime packages off the program and the module.
include(GNUInstallDirs)
set(MC_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/marching-cubes)
set(MC_MODULE_DIR ${CMAKE_INSTALL_LIBDIR}/marching-cubes)
file(RELATIVE_PATH MC_MODULE_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${MC_MODULE_DIR})
set_target_properties(marching-cubes PROPERTIES INSTALL_RPATH \$ORIGIN/${MC_MODULE_FROM_BIN})
install(TARGETS marching-cubes RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS dicom_module LIBRARY DESTINATION ${MC_MODULE_DIR})
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
