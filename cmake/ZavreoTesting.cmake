# zavreo_test(NAME [QT_MAIN] SOURCES ... LIBS ...): a GoogleTest binary in build/tests, its cases
# discovered when ctest runs. QT_MAIN runs the cases inside a QApplication (offscreen).
function(zavreo_test name)
    cmake_parse_arguments(ARG "QT_MAIN" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_QT_MAIN)
        target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/QtTestMain.cpp)
        target_link_libraries(${name} PRIVATE GTest::gtest Qt6::Widgets ${ARG_LIBS})
    else()
        target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBS})
    endif()
    # Tests find the built program, its libraries and resources here.
    target_compile_definitions(${name} PRIVATE ZAVREO_BIN_DIR="${ZAVREO_BIN_DIR}")
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests
                                             BUILD_RPATH "${ZAVREO_BIN_DIR}")
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
endfunction()
