# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, which std::thread needs):
#   cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RM525FW_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RM525FW_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RM525FW_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${RM525FW_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RM525FW_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program stands alone: the compiler's runtime and the thread library
# are linked in, so no DLL has to lie beside the .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The C library's thread-safe POSIX calls (localtime_r) that the core uses.
# -Wno-restrict: GCC 12 warns falsely about overlapping copies inside
# std::string's operator+(const char*, std::string&&) once inlined (GCC bug
# 105329), which the help texts use; the warning is on in the native build.
set(CMAKE_CXX_FLAGS_INIT "-D_POSIX_THREAD_SAFE_FUNCTIONS -Wno-restrict")
