# Run by cpack (the External generator, see cmake/release.cmake) on the installed tree in
# CPACK_TEMPORARY_DIRECTORY: packs it into CPACK_PACKAGE_FILE_NAME.zip so that the same tree
# always gives the same bytes. The files go in sorted by name, all with the time of
# SOURCE_DATE_EPOCH (by default the commit's), without directory entries, owners or the extra
# Unix time fields, and with the zip's local times taken in UTC. (cmake -E tar records each file's
# access and change times, which cannot be fixed, so Info-ZIP's zip does the packing.)
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY "${CPACK_HV_SOURCE_DIR}"
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "pack-zip: no file time for the archive: set SOURCE_DATE_EPOCH or pack from a git checkout")
endif()

find_program(HV_ZIP zip)
if(NOT HV_ZIP)
  message(FATAL_ERROR "pack-zip: zip (Info-ZIP) is missing; bash scripts/setup.sh installs it")
endif()

file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${CPACK_TEMPORARY_DIRECTORY}"
     "${CPACK_TEMPORARY_DIRECTORY}/*")
list(SORT files)
if(NOT files)
  message(FATAL_ERROR "pack-zip: nothing was installed into ${CPACK_TEMPORARY_DIRECTORY}")
endif()

execute_process(COMMAND touch -h -d "@${epoch}" -- ${files}
                WORKING_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}" COMMAND_ERROR_IS_FATAL ANY)
set(archive "${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip")
file(REMOVE "${archive}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC "${HV_ZIP}" -X -D -q "${archive}" ${files}
                WORKING_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}" COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_EXTERNAL_BUILT_PACKAGES "${archive}")
