# The second compiler: clang for the same Windows x64 target, with mingw-w64's headers and
# runtime and the posix-threads libstdc++ the GCC build uses, linked by lld.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HV_MINGW_TARGET x86_64-w64-mingw32)
set(HV_MINGW_GCC_DIR /usr/lib/gcc/${HV_MINGW_TARGET}/12-posix)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${HV_MINGW_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${HV_MINGW_TARGET})
set(CMAKE_RC_COMPILER ${HV_MINGW_TARGET}-windres)

# The sysroot keeps the host's /usr/include out of the search path.
set(CMAKE_SYSROOT /usr/${HV_MINGW_TARGET})
# clang does not find the GCC installation by itself, so its C++ headers are named here.
set(CMAKE_CXX_FLAGS_INIT
    "-isystem ${HV_MINGW_GCC_DIR}/include/c++ -isystem ${HV_MINGW_GCC_DIR}/include/c++/${HV_MINGW_TARGET}")
# libstdc++, libgcc and libgcc_eh live beside GCC. The system libraries are the GCC build's,
# plus winpthreads, which the posix-threads libstdc++ needs and GCC's driver adds by itself.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${HV_MINGW_GCC_DIR}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT}")
set(HV_MINGW_LIBRARIES "-lkernel32 -luser32 -lgdi32 -lwinspool -lshell32 -lole32 -loleaut32 -luuid -lcomdlg32 -ladvapi32")
set(CMAKE_C_STANDARD_LIBRARIES "${HV_MINGW_LIBRARIES} -lwinpthread" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "${HV_MINGW_LIBRARIES} -lwinpthread" CACHE STRING "")

set(CMAKE_FIND_ROOT_PATH /usr/${HV_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
