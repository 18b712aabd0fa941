# The song's analysis: the interpreter, its bus and the trace.
add_executable(trace_tests song_trace_test.cpp)
target_link_libraries(trace_tests PRIVATE quorlin_trace quorlin_test_support GTest::gtest_main)
gtest_discover_tests(trace_tests PROPERTIES LABELS "trace")
