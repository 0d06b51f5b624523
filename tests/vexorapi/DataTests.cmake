# Tests of the library's data side: vote records, raw report queue, parser,
# device reader, and the facade end to end against the simulated base.
# Included from this directory's CMakeLists.txt (vexor_add_test is there).

vexor_add_test(vexor_data_tests SOURCES
    DeviceReaderTest.cpp
    InputReportsParserTest.cpp
    RawDataTest.cpp
    VexorAPILifecycleTest.cpp
    VoteRecorder.cpp
)

# The facade end to end against the simulated base, with short intervals
# (ShortTiming.cpp). Over the internal objects, which carry the interval
# setting; the tests themselves use the public headers only.
vexor_add_test(vexor_end_to_end_tests SIMULATED_BASE SOURCES
    CallsFromCallbacksTest.cpp
    ShortTiming.cpp
    VexorEndToEndTest.cpp
    VoteRecorder.cpp
)

# The shared library through its exported interface only. basesim comes
# first so that its hid_* functions stand in for hidapi's.
add_executable(vexor_exported_interface_tests ExportedInterfaceTest.cpp)
target_link_libraries(vexor_exported_interface_tests PRIVATE basesim VexorAPI GTest::gtest_main)
brimora_project_target(vexor_exported_interface_tests)
gtest_discover_tests(vexor_exported_interface_tests DISCOVERY_TIMEOUT 60)

# Installs the library into a temporary prefix and builds clients against it
# as docs/vexorapi.md says. Not under sanitizers: the clients are built
# without their flags.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME vexor_install_consume
    COMMAND ${CMAKE_COMMAND}
        -DBUILD_DIR=${CMAKE_BINARY_DIR}
        -DPROJECT_SOURCE_DIR=${PROJECT_SOURCE_DIR}
        -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/install_consume
        -DEXAMPLE_DIR=${PROJECT_SOURCE_DIR}/examples/vexor-listen
        -DBASESIM=$<TARGET_FILE:basesim>
        -DPYTHON=${Python3_EXECUTABLE}
        -DDOC_BLOCKS=${PROJECT_SOURCE_DIR}/tests/docs/doc_blocks.py
        -P ${CMAKE_CURRENT_SOURCE_DIR}/InstallConsume.cmake)
set_tests_properties(vexor_install_consume PROPERTIES LABELS no-sanitizer TIMEOUT 300)
