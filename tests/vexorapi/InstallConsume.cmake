# What docs/vexorapi.md tells a library user to run, run as written (its
# blocks, taken out by DOC_BLOCKS with PYTHON) with this test's folders for
# the page's build folder and prefix:
#   1. the install commands (block install-vexorapi) for BUILD_DIR, into a
#      fresh prefix under WORK_DIR; only public headers may arrive;
#   2. the complete client (vexor-client.cpp), built with the page's CMake
#      file and commands (vexor-client-cmake, vexor-prefix-environment,
#      vexor-client-build) against that prefix; both builds run once;
#   3. the example client EXAMPLE_DIR, built on its own with find_package and
#      run once against the simulated base (BASESIM, preloaded).

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                    ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
    endif()
    set(output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
set(page ${PROJECT_SOURCE_DIR}/docs/vexorapi.md)

# The page's block `name`, with the replacements given as OLD=NEW.
function(page_block name variable)
    set(replacements "")
    foreach(pair IN LISTS ARGN)
        list(APPEND replacements --replace ${pair})
    endforeach()
    run(${PYTHON} ${DOC_BLOCKS} ${page} ${name} ${replacements})
    set(${variable} "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/client)

page_block(install-vexorapi install build=${BUILD_DIR} /opt/vexor=${prefix})
run(sh -ec "${install}")
if(NOT EXISTS ${prefix}/include/VexorAPI/VexorAPI.h OR NOT EXISTS ${prefix}/include/VexorAPI/VexorVersion.h)
    message(FATAL_ERROR "the public headers are not installed")
endif()
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
foreach(private InputReportsParser.h RawDataElement.h BaseManagement.h HIDHIDAPI.h)
    if(installed MATCHES "/${private}")
        message(FATAL_ERROR "internal header ${private} installed")
    endif()
endforeach()

page_block(vexor-client.cpp client)
file(WRITE ${WORK_DIR}/client/vexor-client.cpp "${client}")
page_block(vexor-client-cmake cmake_file)
file(WRITE ${WORK_DIR}/client/CMakeLists.txt "${cmake_file}")
page_block(vexor-prefix-environment environment /opt/vexor=${prefix})
page_block(vexor-client-build build)
execute_process(COMMAND sh -ec "${environment}${build}
        for client in build/vexor-client vexor-client-pc; do
            LD_PRELOAD=${BASESIM} BASESIM_START=unplugged ./\$client </dev/null
        done"
    WORKING_DIRECTORY ${WORK_DIR}/client
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the page's client does not build or run as the page says (${status}):\n${out}\n${err}")
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
