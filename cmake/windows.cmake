# Cross build: the DLL, the sample host and the tests that need Windows (run under Wine).
set(TOLLTONE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
if(CMAKE_CROSSCOMPILING)  # a native Windows build runs its tests directly
  configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
    @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()

# The host and the tests carry their runtimes statically (no DLLs beside them);
# the module carries none (see src/CMakeLists.txt).
set(TOLLTONE_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
add_link_options(${TOLLTONE_STATIC_RUNTIME})
# What goes into the module: no exceptions, no type information, no guarded
# statics (one-time set-up goes through the platform), small code in sections
# of their own so the linker drops what is not called.
set(TOLLTONE_NO_RUNTIME -fno-exceptions -fno-rtti -fno-threadsafe-statics -Os -ffunction-sections)
target_compile_options(tolltone_core PRIVATE ${TOLLTONE_NO_RUNTIME})
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

add_subdirectory(src)
add_subdirectory(host)
add_subdirectory(tests)
add_subdirectory(bench)
