# Warning flags and sanitizer flags for the project's own targets.
#
# brimora_project_target(<target>) applies the project's warning set; call it
# on every target built from our sources (not on third-party code).

function(brimora_project_target target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
endfunction()

if(BRIMORA_SANITIZE STREQUAL "address")
    set(_brimora_san -fsanitize=address,undefined -fno-sanitize-recover=undefined
                     -fno-omit-frame-pointer)
elseif(BRIMORA_SANITIZE STREQUAL "thread")
    set(_brimora_san -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT BRIMORA_SANITIZE STREQUAL "")
    message(FATAL_ERROR "BRIMORA_SANITIZE must be empty, 'address' or 'thread'")
endif()
if(_brimora_san)
    add_compile_options(${_brimora_san})
    add_link_options(${_brimora_san})
endif()
