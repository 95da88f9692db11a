# Every fuzz target rebuilt with the project's compiler as a plain program that
# replays its committed corpus once: the inputs that found crashes stay fixed,
# and the sanitizer build replays them under ASan and UBSan.
set(FUZZ_DIR ${PROJECT_SOURCE_DIR}/fuzz)
# The judge's readers for the level file and shard line targets, without its entry point.
if(TARGET asmquest-judge)
  file(GLOB judge_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/judge/*.cpp)
  list(FILTER judge_sources EXCLUDE REGEX "/judge_main\\.cpp$")
  add_library(fuzz_judge STATIC ${judge_sources})
  target_link_libraries(fuzz_judge PUBLIC asmquest_core)
  target_compile_options(fuzz_judge PRIVATE ${ASMQUEST_WARNINGS})
  set(judge_targets level_file shard_lines)
endif()
foreach(target asm cpu editor progress terminal_input ${judge_targets})
  add_executable(fuzz_replay_${target} ${FUZZ_DIR}/${target}_fuzz.cpp ${FUZZ_DIR}/replay_main.cpp ${FUZZ_DIR}/fuzz_host.cpp)
  target_include_directories(fuzz_replay_${target} PRIVATE ${FUZZ_DIR})
  target_link_libraries(fuzz_replay_${target} PRIVATE asmquest_core)
  if(target IN_LIST judge_targets)
    target_link_libraries(fuzz_replay_${target} PRIVATE fuzz_judge)
  endif()
  target_compile_options(fuzz_replay_${target} PRIVATE ${ASMQUEST_WARNINGS})
  set(corpus ${FUZZ_DIR}/corpus/${target})
  if(target STREQUAL "asm")
    # The reference solutions and wrong programs are seeds of their own.
    list(APPEND corpus ${PROJECT_SOURCE_DIR}/tests/levels ${PROJECT_SOURCE_DIR}/tests/levels/wrong)
  endif()
  add_test(NAME hardening_fuzz_replay_${target} COMMAND fuzz_replay_${target} ${corpus})
  set_tests_properties(hardening_fuzz_replay_${target} PROPERTIES TIMEOUT 300)
endforeach()

# A program that saves progress until it is killed (tests/hardening_saves.test.sh).
add_executable(hardening_save_loop ${CMAKE_CURRENT_SOURCE_DIR}/hardening_save_loop.cpp)
target_link_libraries(hardening_save_loop PRIVATE asmquest_core)
target_compile_options(hardening_save_loop PRIVATE ${ASMQUEST_WARNINGS})

# The soak runs for minutes: start it first when tests run in parallel, and
# let a longer run (ASMQUEST_SOAK_SECONDS) finish.
if(TEST hardening_soak)
  set_tests_properties(hardening_soak PROPERTIES COST 10000 TIMEOUT 7200)
endif()

# The page's zip reader and writer (web/code_zip.js) are JavaScript: node
# replays their corpus the same way (fuzz/code_zip_fuzz.mjs).
find_program(NODE_PROGRAM node)
if(NODE_PROGRAM)
  add_test(NAME hardening_fuzz_replay_code_zip
           COMMAND ${NODE_PROGRAM} ${FUZZ_DIR}/code_zip_fuzz.mjs replay ${FUZZ_DIR}/corpus/code_zip)
  set_tests_properties(hardening_fuzz_replay_code_zip PROPERTIES TIMEOUT 300)
endif()
