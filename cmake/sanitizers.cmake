# PIXWALL_SANITIZER: empty, "address" (address + undefined behaviour), "thread" or "fuzzer"
# (clang only: coverage for libFuzzer with address + undefined behaviour; builds tests/fuzz).
set(PIXWALL_SANITIZER "" CACHE STRING "Sanitizer build: address, thread or fuzzer")
if(PIXWALL_SANITIZER STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(PIXWALL_SANITIZER STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(PIXWALL_SANITIZER STREQUAL "fuzzer")
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "PIXWALL_SANITIZER=fuzzer needs clang")
  endif()
  # The fuzz targets themselves link with -fsanitize=fuzzer, which brings libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(NOT PIXWALL_SANITIZER STREQUAL "")
  message(FATAL_ERROR "PIXWALL_SANITIZER must be empty, address, thread or fuzzer")
endif()
