# Builds one internal layer as an OBJECT library from every .cpp in DIR (not recursive).
# Layers are combined into the one shared library; unit tests may link a layer alone.
function(corvane_add_layer NAME DIR)
    file(GLOB _sources CONFIGURE_DEPENDS ${DIR}/*.cpp)
    if(NOT _sources)
        set(_sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    endif()
    add_library(${NAME} OBJECT ${_sources})
    target_include_directories(${NAME} PUBLIC
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>)
    target_link_libraries(${NAME} PUBLIC Threads::Threads)
endfunction()

# corvane_add_test(NAME SOURCES a.cpp b.cpp LIBS x y): one GoogleTest executable whose
# cases are registered with ctest one by one.
function(corvane_add_test NAME)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${NAME} ${ARG_SOURCES})
    target_link_libraries(${NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${NAME} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    corvane_register_test(${NAME} 300)
endfunction()

# Registers a GoogleTest executable with ctest: case by case on the host; as one test under
# Wine in a Windows cross-build, which writes its cases to an XML report for counting.
function(corvane_register_test NAME TIMEOUT)
    if(CMAKE_CROSSCOMPILING AND WIN32)
        add_test(NAME ${NAME}
                 COMMAND ${NAME} --gtest_output=xml:${CORVANE_TEST_RESULTS_DIR}/${NAME}.xml)
        set_tests_properties(${NAME} PROPERTIES TIMEOUT ${TIMEOUT})
    else()
        gtest_discover_tests(${NAME} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${TIMEOUT})
    endif()
endfunction()
