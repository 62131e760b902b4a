# Builds one internal layer as an OBJECT library from every .cpp in DIR (not recursive).
# Layers are combined into the one shared library and the internal static library; unit tests
# may link a layer alone.
#
# SEES lists the source folders (relative to src/) whose headers the layer may include besides
# its own and the public ones: the layers below it. The layer compiles against a folder of
# links to exactly those headers, so an include of a layer above fails the build. Consumers of
# the layer (tests, fuzz targets) still see all of src/.
function(corvane_add_layer NAME DIR)
    cmake_parse_arguments(ARG "" "" "SEES" ${ARGN})
    file(GLOB _sources CONFIGURE_DEPENDS ${DIR}/*.cpp)
    if(NOT _sources)
        set(_sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    endif()
    add_library(${NAME} OBJECT ${_sources})
    file(REAL_PATH ${DIR} _own BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    file(RELATIVE_PATH _own ${PROJECT_SOURCE_DIR}/src ${_own})
    set(_view ${PROJECT_BINARY_DIR}/layer-includes/${NAME})
    file(REMOVE_RECURSE ${_view})
    foreach(_seen IN LISTS ARG_SEES _own)
        file(GLOB _headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${_seen}/*.hpp)
        file(MAKE_DIRECTORY ${_view}/${_seen})
        foreach(_header IN LISTS _headers)
            get_filename_component(_file ${_header} NAME)
            file(CREATE_LINK ${_header} ${_view}/${_seen}/${_file} SYMBOLIC)
        endforeach()
    endforeach()
    target_include_directories(${NAME}
        PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
        PRIVATE ${_view}
        INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>)
    # Only what the public headers mark with CORVANE_API leaves the shared library.
    set_target_properties(${NAME} PROPERTIES CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    target_compile_definitions(${NAME} PRIVATE CORVANE_BUILDING_LIBRARY)
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
