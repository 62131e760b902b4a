# corvane_add_example(NAME SOURCE): one example program, linked like an application would be,
# plus the emulator hook when the emulator is built.
function(corvane_add_example NAME SOURCE)
    add_executable(${NAME} ${SOURCE})
    target_link_libraries(${NAME} PRIVATE Corvane::CameraController)
    if(TARGET corvane_emulator)
        target_link_libraries(${NAME} PRIVATE corvane_emulator)
        target_compile_definitions(${NAME} PRIVATE CORVANE_EXAMPLES_WITH_EMULATOR=1)
    endif()
endfunction()
