# The shipped 32-bit purgekit-report.exe: the same cross compiler in its win32 thread model,
# whose C++ runtime needs no threads library. The posix model's runtime brings winpthreads,
# which imports AddVectoredExceptionHandler (Windows XP) and GetTickCount64 (Vista): functions
# that Windows 2000 lacks, and that the loader would then refuse to start the program without.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-i686-w64-mingw32.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
