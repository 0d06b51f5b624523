# Installs the VexorAPI components of BUILD_DIR into a fresh prefix under
# WORK_DIR, checks what was installed, builds the example client EXAMPLE_DIR
# against the installed package, and runs it once against the simulated base
# (BASESIM, preloaded).

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                    ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
    endif()
    set(output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
foreach(component VexorAPI VexorAPI-dev)
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --component ${component} --prefix ${prefix})
endforeach()

# Public headers only.
if(NOT EXISTS ${prefix}/include/VexorAPI/VexorAPI.h)
    message(FATAL_ERROR "public header VexorAPI.h not installed")
endif()
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
foreach(private InputReportsParser.h RawDataElement.h BaseManagement.h HIDHIDAPI.h)
    if(installed MATCHES "/${private}")
        message(FATAL_ERROR "internal header ${private} installed")
    endif()
endforeach()

# pkg-config finds the library and its headers in the moved prefix.
file(GLOB_RECURSE pc_files ${prefix}/*/VexorAPI.pc)
list(LENGTH pc_files pc_count)
if(NOT pc_count EQUAL 1)
    message(FATAL_ERROR "expected one VexorAPI.pc, found: ${pc_files}")
endif()
get_filename_component(pc_dir ${pc_files} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(pkg-config --cflags --libs VexorAPI)
if(NOT output MATCHES "-lVexorAPI" OR NOT output MATCHES "/include")
    message(FATAL_ERROR "unexpected pkg-config answer: ${output}")
endif()

# The example, built on its own with find_package(VexorAPI).
run(${CMAKE_COMMAND} -S ${EXAMPLE_DIR} -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)

# One run against an unplugged simulated base: it reports the missing base,
# a command fails, and "quit" ends it.
file(WRITE ${WORK_DIR}/input.txt "freq B D\nbogus\nquit\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env LD_PRELOAD=${BASESIM} BASESIM_START=unplugged
                        ${WORK_DIR}/build/vexor-listen
                INPUT_FILE ${WORK_DIR}/input.txt
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                TIMEOUT 30)
if(NOT status EQUAL 0 OR NOT out MATCHES "base no base" OR NOT out MATCHES "failed"
   OR NOT out MATCHES "unknown command: bogus")
    message(FATAL_ERROR "vexor-listen run failed (${status}):\n${out}\n${err}")
endif()
