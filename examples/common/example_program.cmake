# corvane_add_example(NAME SOURCE): one example program, linked like an application would be,
# plus the emulator hook when the emulator is built.
function(corvane_add_example NAME SOURCE)
    add_executable(${NAME} ${SOURCE})
    # The emulator builds on the internal library, which holds the whole API too: linking the
    # shared library beside it would give the program two copies of every singleton.
    if(TARGET corvane_emulator)
        target_link_libraries(${NAME} PRIVATE corvane_emulator)
        target_compile_definitions(${NAME} PRIVATE CORVANE_EXAMPLES_WITH_EMULATOR=1)
    else()
        target_link_libraries(${NAME} PRIVATE Corvane::CameraController)
    endif()
endfunction()
