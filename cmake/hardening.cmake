# What ships is hardened: a guard on every stack frame with an array or an address taken, in
# every build. The program's guard value and failure are its own (src/app/stack_guard.cpp); what
# does not link the app subsystem takes libssp's, statically. The linkers already mark the
# program for high-entropy ASLR and NX; scripts/check-pe.sh checks all of it.
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-fstack-protector-strong>")
add_link_options(-fstack-protector-strong)

# The program's debug sections and its symbol table (mostly from the static C++ library) move
# into <program>.debug beside it, for crash analysis; the program keeps neither, only a debug link
# that names that file and holds its checksum.
# objcopy stamps the PE header with the time of its run, or with SOURCE_DATE_EPOCH when set: 0
# leaves both files without a time, as the linker leaves the program.
find_program(HV_OBJCOPY x86_64-w64-mingw32-objcopy REQUIRED)
function(hv_split_debug target)
  set(program $<TARGET_FILE:${target}>)
  set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${HV_OBJCOPY})
  add_custom_command(TARGET ${target} POST_BUILD
                     COMMAND ${objcopy} --only-keep-debug ${program} ${program}.debug
                     COMMAND ${objcopy} --strip-all --add-gnu-debuglink=${program}.debug ${program}
                     VERBATIM)
endfunction()
