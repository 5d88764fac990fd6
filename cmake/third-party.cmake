# What the program carries of others goes with it: THIRD-PARTY-NOTICES.txt and the CycloneDX
# bill of materials hex-viewer.cdx.json, written by scripts/third-party.py from the linker's map
# of the program (which library members it pulled in) and the Debian packages that installed
# them. Both are installed beside the program; the map stays in the build folder. Only GNU ld
# writes the map the script reads, so the clang build installs neither.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  return()
endif()

find_program(HV_PYTHON python3 REQUIRED)
set(hv_map ${CMAKE_BINARY_DIR}/hex-viewer.map)
set(hv_notices ${CMAKE_BINARY_DIR}/THIRD-PARTY-NOTICES.txt)
set(hv_sbom ${CMAKE_BINARY_DIR}/hex-viewer.cdx.json)
target_link_options(hex-viewer PRIVATE "LINKER:-Map=${hv_map}")
add_custom_command(OUTPUT ${hv_notices} ${hv_sbom}
                   COMMAND ${HV_PYTHON} ${CMAKE_SOURCE_DIR}/scripts/third-party.py --map ${hv_map}
                           --program $<TARGET_FILE:hex-viewer> --name ${PROJECT_NAME} --version ${PROJECT_VERSION}
                           --notices ${hv_notices} --sbom ${hv_sbom}
                   DEPENDS hex-viewer ${CMAKE_SOURCE_DIR}/scripts/third-party.py
                   COMMENT "Writing the third-party notices and the bill of materials"
                   VERBATIM)
add_custom_target(third-party ALL DEPENDS ${hv_notices} ${hv_sbom})
install(FILES ${hv_notices} ${hv_sbom} DESTINATION hex-viewer)
