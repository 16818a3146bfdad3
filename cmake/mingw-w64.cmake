# Cross toolchain for Windows: mingw-w64's compilers with POSIX threads (the default thread model
# has no std::mutex). BV_MINGW_TRIPLET picks the target (x86_64-w64-mingw32 or i686-w64-mingw32);
# BV_THIRD_PARTY is the prefix of the libraries cross-built by scripts/third-party.sh.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT BV_MINGW_TRIPLET)
    set(BV_MINGW_TRIPLET x86_64-w64-mingw32)
endif()
if(BV_MINGW_TRIPLET MATCHES "^i686")
    set(CMAKE_SYSTEM_PROCESSOR x86)
    # SSE2 arithmetic, as on x86-64 (and in the libraries): x87 keeps intermediates in 80 bits and
    # would change the pictures. Every x86 processor since 2003 has it.
    set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
    set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
else()
    set(CMAKE_SYSTEM_PROCESSOR AMD64)
endif()
set(CMAKE_C_COMPILER ${BV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${BV_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH ${BV_THIRD_PARTY} /usr/${BV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Programs without their symbol tables: a viewer downloads them.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
# pkg-config sees the cross-built libraries only, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} ${BV_THIRD_PARTY}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
# The try_compile projects of CMake's checks need the same two settings.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BV_MINGW_TRIPLET BV_THIRD_PARTY)
