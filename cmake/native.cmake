# Native build of the platform-free core: its tests under AddressSanitizer and UBSan.
set(TOLLTONE_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(tolltone_core PUBLIC ${TOLLTONE_SANITIZERS})
target_link_options(tolltone_core PUBLIC ${TOLLTONE_SANITIZERS})
add_subdirectory(tests/core)
add_subdirectory(fuzz)
add_subdirectory(bench)
