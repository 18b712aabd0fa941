# The song's analysis: the interpreter, its bus and the trace.
add_executable(trace_tests song_trace_test.cpp live_aram_test.cpp)
target_link_libraries(trace_tests PRIVATE quorlin_trace quorlin_test_support GTest::gtest_main)
gtest_discover_tests(trace_tests PROPERTIES LABELS "trace")

# The interpreter alone on plain RAM, and the instruction vectors run through
# tools/spc700_vectors (skipped when ../shared/spc700-tests is absent).
add_executable(spc700_tests spc700_cpu_test.cpp spc700_vectors_test.cpp)
target_link_libraries(spc700_tests PRIVATE quorlin_spc700 PkgConfig::JSON_GLIB GTest::gtest_main)
target_compile_definitions(spc700_tests PRIVATE
  SPC700_VECTORS_BINARY="$<TARGET_FILE:spc700_vectors>"
  VECTORS_DIR="${CMAKE_SOURCE_DIR}/../shared/spc700-tests")
add_dependencies(spc700_tests spc700_vectors)
gtest_discover_tests(spc700_tests PROPERTIES LABELS "trace")

# The trace against libgme playing the same snapshot, voice by voice.
add_executable(trace_player_test trace_player_test.cpp)
target_link_libraries(trace_player_test PRIVATE quorlin_trace openspc quorlin_test_support
  GTest::gtest_main)
gtest_discover_tests(trace_player_test PROPERTIES LABELS "trace" TIMEOUT 600)
