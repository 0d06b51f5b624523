# Installs the SDK from BUILD_DIR into WORK_DIR/prefix with the install
# commands of docs/kwendsdk.md (block install-kwendsdk, taken out by DOC_BLOCKS
# with PYTHON, the page's build folder and prefix replaced by these), then
# builds and runs the consumer in CONSUMER_DIR twice: with find_package (every
# word size that was installed) and with pkg-config (the 64-bit library).
# EXPECT_M32 says whether the 32-bit library was built; its consumer runs
# through M32_EMULATOR when that is set.
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                    ERROR_VARIABLE out)
    message(STATUS "$ ${ARGN}\n${out}")
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed (${status}): ${ARGN}")
    endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${PYTHON} ${DOC_BLOCKS} ${PAGE} install-kwendsdk
                        --replace build=${BUILD_DIR} --replace /opt/kwend=${prefix}
                OUTPUT_VARIABLE install RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "docs/kwendsdk.md: the block install-kwendsdk cannot be taken out")
endif()
run(sh -ec "${install}")

# find_package
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/cmake-build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run(${WORK_DIR}/cmake-build/kwend-consumer)
if(EXPECT_M32)
    if(NOT EXISTS ${WORK_DIR}/cmake-build/kwend-consumer32)
        message(FATAL_ERROR "the installed package offers no 32-bit library")
    endif()
    run(${M32_EMULATOR} ${WORK_DIR}/cmake-build/kwend-consumer32)
endif()

# pkg-config
file(GLOB_RECURSE pc_file ${prefix}/k-wendsdk_m64.pc)
if(NOT pc_file)
    message(FATAL_ERROR "k-wendsdk_m64.pc not installed")
endif()
get_filename_component(pc_dir ${pc_file} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
execute_process(COMMAND ${PKG_CONFIG} --cflags --libs k-wendsdk_m64
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know k-wendsdk_m64")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${C_COMPILER} ${CONSUMER_DIR}/main.c -o ${WORK_DIR}/pkg-consumer ${flags})
get_filename_component(lib_dir ${pc_dir} DIRECTORY)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${lib_dir} ${WORK_DIR}/pkg-consumer)
