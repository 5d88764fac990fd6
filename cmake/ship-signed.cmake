# Run by cpack on the installed tree before packing (see cmake/release.cmake). When
# scripts/release.sh has signed the program, it names the signed copy in HV_SIGNED_PROGRAM: that
# copy takes the unsigned program's place, and the bill of materials gives the SHA-256 of what
# ships, the signed bytes. Without it the tree is packed as installed.
if(NOT DEFINED ENV{HV_SIGNED_PROGRAM} OR "$ENV{HV_SIGNED_PROGRAM}" STREQUAL "")
  return()
endif()
set(folder "${CPACK_TEMPORARY_DIRECTORY}/hex-viewer")
set(sbom "${folder}/hex-viewer.cdx.json")
file(SHA256 "${folder}/hex-viewer.exe" unsigned)
file(SHA256 "$ENV{HV_SIGNED_PROGRAM}" signed)
file(READ "${sbom}" bom)
string(REPLACE "\"${unsigned}\"" "\"${signed}\"" signed_bom "${bom}")
if(signed_bom STREQUAL bom)
  message(FATAL_ERROR "ship-signed: ${sbom} does not give the installed program's SHA-256 (${unsigned})")
endif()
file(WRITE "${sbom}" "${signed_bom}")
file(COPY_FILE "$ENV{HV_SIGNED_PROGRAM}" "${folder}/hex-viewer.exe")
# The archive records file modes: the signed copy gets the installed program's.
file(CHMOD "${folder}/hex-viewer.exe" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
     WORLD_READ WORLD_EXECUTE)
