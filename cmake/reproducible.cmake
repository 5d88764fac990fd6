# The same commit builds to the same bytes in any folder at any time, so that anyone can build a
# shipped program again and compare. Included after project(), for every preset.

# No build folder in __FILE__ or debug information: paths are recorded relative to the source.
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>")

# No link time in the PE header (ld and lld alike); the PE checksum then covers only the
# program's own bytes.
add_link_options(-Wl,--no-insert-timestamp)

# Static libraries without member times or owners, whatever the distribution's default.
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()
