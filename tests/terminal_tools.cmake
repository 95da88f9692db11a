# Programs the terminal's shell tests drive in tmux.
add_executable(termdemo ${CMAKE_CURRENT_SOURCE_DIR}/tools/termdemo.cpp ${PROJECT_SOURCE_DIR}/src/main/host_terminal.cpp)
target_link_libraries(termdemo PRIVATE asmquest_core)
target_compile_options(termdemo PRIVATE ${ASMQUEST_WARNINGS})
