# Tests of a Windows cross-build: GoogleTest is compiled from Debian's sources with the same
# MinGW toolchain (the host's libgtest is a Linux library), and every test executable runs
# under Wine through the generated wrapper <build>/wine-run, which ctest uses as the
# cross-compiling emulator.
set(CORVANE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross-builds")
if(NOT EXISTS ${CORVANE_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${CORVANE_GTEST_SOURCE_DIR} (Debian: googletest)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
# Static GoogleTest, so that only the library and the MinGW runtime are DLLs.
set(BUILD_SHARED_LIBS OFF)
add_subdirectory(${CORVANE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own sources do not build cleanly with the project's warnings.
foreach(_gtest_target gtest gtest_main gmock gmock_main)
    target_compile_options(${_gtest_target} PRIVATE -w)
endforeach()

# Wine finds the MinGW runtime DLLs (libstdc++, libgcc, winpthread) where the compiler has them.
set(_wine_dll_dirs "")
foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                    OUTPUT_VARIABLE _dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${_dll_path}")
        message(FATAL_ERROR "The MinGW runtime has no ${_dll}")
    endif()
    get_filename_component(_dll_path ${_dll_path} REALPATH)
    get_filename_component(_dll_dir ${_dll_path} DIRECTORY)
    list(APPEND _wine_dll_dirs "Z:${_dll_dir}")
endforeach()
list(REMOVE_DUPLICATES _wine_dll_dirs)
list(JOIN _wine_dll_dirs ";" CORVANE_WINE_DLL_PATH)

find_program(CORVANE_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(CORVANE_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine
             NO_CMAKE_FIND_ROOT_PATH)
if(NOT CORVANE_WINE OR NOT CORVANE_WINESERVER)
    message(FATAL_ERROR "Wine is needed to run the Windows tests (Debian: wine64)")
endif()
set(CORVANE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# Each executable is one ctest test (a Wine start per test case would cost minutes); its
# cases are counted from the XML report it leaves in <build>/test-results.
# Wine maps the host's root to drive Z:; a bare /path would be taken as relative to the drive
# of the working directory.
set(CORVANE_TEST_RESULTS_DIR Z:${CMAKE_BINARY_DIR}/test-results)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-results)
