# How this machine runs 32-bit x86 programs: natively where the kernel
# executes them, otherwise through the user-mode emulator qemu-i386.
#
# Sets BRIMORA_M32_EMULATOR (cached): empty when 32-bit programs run
# natively, else the emulator command that test commands are prefixed with.
# BRIMORA_M32_RUNNER picks the way: "auto" (default) tries native first,
# "native" or "qemu" insist on one. Configuration fails, saying why and what
# to install, when no way works: the 32-bit tests are never dropped quietly.

set(BRIMORA_M32_RUNNER "auto" CACHE STRING
    "How 32-bit test programs run: auto, native or qemu")
set_property(CACHE BRIMORA_M32_RUNNER PROPERTY STRINGS auto native qemu)

function(_brimora_m32_probe)
    set(dir ${CMAKE_BINARY_DIR}/CMakeFiles/m32-probe)
    file(WRITE ${dir}/probe.c "int main(void) { return sizeof(void *) == 4 ? 0 : 1; }\n")
    try_compile(built ${dir}/build ${dir}/probe.c
        COMPILE_DEFINITIONS -m32
        LINK_OPTIONS -m32
        OUTPUT_VARIABLE log
        COPY_FILE ${dir}/probe)
    if(NOT built)
        message(FATAL_ERROR "Cannot build a 32-bit (-m32) program; install g++-multilib, "
                            "or configure with -DBRIMORA_BUILD_SDK32=OFF.\n${log}")
    endif()
    set(_brimora_m32_probe ${dir}/probe PARENT_SCOPE)
endfunction()

# Runs the probe, through the emulator when one is given; sets ok to TRUE
# when it ran and found itself 32-bit.
function(_brimora_m32_try ok probe)
    execute_process(COMMAND ${ARGN} ${probe} RESULT_VARIABLE status
                    OUTPUT_QUIET ERROR_QUIET)
    if(status STREQUAL "0")
        set(${ok} TRUE PARENT_SCOPE)
    else()
        set(${ok} FALSE PARENT_SCOPE)
    endif()
endfunction()

function(brimora_detect_m32_runner)
    if(DEFINED CACHE{BRIMORA_M32_EMULATOR} AND
       "${BRIMORA_M32_RUNNER}" STREQUAL "${_BRIMORA_M32_RUNNER_DONE}")
        if(BRIMORA_M32_EMULATOR)
            list(JOIN BRIMORA_M32_EMULATOR " " command)
            message(STATUS "32-bit programs: run through ${command}")
        else()
            message(STATUS "32-bit programs: run natively")
        endif()
        return()
    endif()
    _brimora_m32_probe()
    set(native FALSE)
    if(NOT BRIMORA_M32_RUNNER STREQUAL "qemu")
        _brimora_m32_try(native ${_brimora_m32_probe})
    endif()
    if(native)
        set(emulator "")
        message(STATUS "32-bit programs: run natively")
    elseif(BRIMORA_M32_RUNNER STREQUAL "native")
        message(FATAL_ERROR "BRIMORA_M32_RUNNER=native, but this machine does not run "
                            "32-bit programs (try BRIMORA_M32_RUNNER=auto or qemu).")
    else()
        find_program(BRIMORA_QEMU_I386 qemu-i386)
        set(emulated FALSE)
        if(BRIMORA_QEMU_I386)
            _brimora_m32_try(emulated ${_brimora_m32_probe} ${BRIMORA_QEMU_I386})
        endif()
        if(NOT emulated)
            message(FATAL_ERROR
                "This machine does not run 32-bit programs natively, and the user-mode "
                "emulator qemu-i386 is ${BRIMORA_QEMU_I386}. Install the Debian package "
                "qemu-user (scripts/bootstrap does), or configure with "
                "-DBRIMORA_BUILD_SDK32=OFF to leave out the 32-bit SDK and its tests.")
        endif()
        set(emulator ${BRIMORA_QEMU_I386})
        if(BRIMORA_SANITIZE STREQUAL "address")
            # The leak checker stops the process's threads through ptrace,
            # which the user-mode emulator does not offer: without this the
            # program hangs at exit. Memory errors are still caught. The
            # runtime reads its options from /proc/self/environ, which under
            # the emulator is the emulator's own environment: set them there.
            set(emulator env ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 ${emulator})
        endif()
        if(BRIMORA_M32_RUNNER STREQUAL "qemu")
            message(STATUS "32-bit programs: run through ${BRIMORA_QEMU_I386} (as asked)")
        else()
            message(STATUS "32-bit programs: run through ${BRIMORA_QEMU_I386} "
                           "(this machine does not execute them natively)")
        endif()
    endif()
    set(BRIMORA_M32_EMULATOR "${emulator}" CACHE STRING
        "Emulator for 32-bit programs (empty: native)" FORCE)
    mark_as_advanced(BRIMORA_M32_EMULATOR)
    set(_BRIMORA_M32_RUNNER_DONE "${BRIMORA_M32_RUNNER}" CACHE INTERNAL "")
endfunction()

# Makes every test and test discovery of a 32-bit executable go through the
# emulator, when there is one.
function(brimora_m32_executable target)
    if(BRIMORA_M32_EMULATOR)
        set_target_properties(${target} PROPERTIES
            CROSSCOMPILING_EMULATOR "${BRIMORA_M32_EMULATOR}")
    endif()
endfunction()
