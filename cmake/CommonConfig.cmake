# One interface target that carries the language level and the warnings for every target.
add_library(kirvano-options INTERFACE)
target_compile_features(kirvano-options INTERFACE cxx_std_20)
target_compile_options(kirvano-options INTERFACE -Wall -Wextra -Wpedantic)
if(KIRVANO_WERROR)
    target_compile_options(kirvano-options INTERFACE -Werror)
endif()
if(KIRVANO_SANITIZE)
    target_compile_options(kirvano-options INTERFACE -fsanitize=address,undefined
                           -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(kirvano-options INTERFACE -fsanitize=address,undefined)
endif()
if(KIRVANO_FUZZ)
    target_compile_options(kirvano-options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                           -fno-omit-frame-pointer)
    target_link_options(kirvano-options INTERFACE -fsanitize=address,undefined)
endif()
