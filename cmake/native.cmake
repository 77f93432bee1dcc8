# Native build of the platform-free core: its tests under AddressSanitizer and UBSan.
set(TOLLTONE_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_subdirectory(tests/core)
