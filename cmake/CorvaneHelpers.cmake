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
    gtest_discover_tests(${NAME} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
