# What a host installs, and the one archive that carries it.
#
# cmake --install puts the plug-in's folder, hex-viewer/ with the program, its README, its
# third-party notices and its bill of materials (cmake/third-party.cmake), under the prefix: the
# host's plug-in directory. Test programs, the stand-in viewer and benchmarks are not installed.
install(TARGETS hex-viewer RUNTIME DESTINATION hex-viewer)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION hex-viewer)
include(${CMAKE_CURRENT_LIST_DIR}/third-party.cmake)

# cpack lays the files out by that installation and packs them into
# hex-viewer-<version>-win64.zip with its SHA-256 sum beside it. CPack's own ZIP generator
# records the packing time and the order the files were found in, so the External generator
# hands the installed tree to cmake/pack-zip.cmake, which packs it the same way every time.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Lumo hex dump plug-in")
set(CPACK_SYSTEM_NAME win64)
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/pack-zip.cmake)
# A program signed by scripts/release.sh replaces the installed one before packing.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/ship-signed.cmake)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
# The packing script derives the archive's file times from the commit when SOURCE_DATE_EPOCH is unset.
set(CPACK_HV_SOURCE_DIR ${CMAKE_SOURCE_DIR})
include(CPack)
