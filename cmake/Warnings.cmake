# Compiler warnings and sanitizers, applied to every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic)
if(DM_WERROR)
  add_compile_options(-Werror)
endif()
if(DM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(DM_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(DM_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR NOT CMAKE_C_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "DM_BUILD_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  # Every library a fuzzer links is instrumented like the fuzzer itself, so
  # that coverage and the sanitizers reach the readers wherever they live;
  # the fuzz targets add libFuzzer's main at link time (fuzz/).
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
