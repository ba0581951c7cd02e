# Cross toolchain: 64-bit Windows with Debian's MinGW-w64 GCC in its POSIX
# threads flavour (std::thread and std::mutex need it). The C and C++
# runtimes are linked statically, so Dozuv2.dll and the programs need no
# compiler DLLs beside them; programs run under Wine through cmake/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DOZUV2_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DOZUV2_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DOZUV2_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${DOZUV2_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DOZUV2_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Every program CTest starts runs under Wine in a scratch prefix of the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run;${CMAKE_BINARY_DIR}/wineprefix")

# The demangler the export check reads the DLL's export table with.
set(DOZUV2_CXXFILT ${DOZUV2_MINGW_TRIPLET}-c++filt)
