# The command line, run as a process without a display.
if(TARGET quorlin)
  add_executable(cli_tests cli_test.cpp support/command_run.cpp)
  target_link_libraries(cli_tests PRIVATE quorlin_test_support PkgConfig::JSON_GLIB
    GTest::gtest_main)
  target_compile_definitions(cli_tests PRIVATE QUORLIN_BINARY="$<TARGET_FILE:quorlin>")
  add_dependencies(cli_tests quorlin)
  gtest_discover_tests(cli_tests PROPERTIES LABELS "cli")

  # --stems, checked against libgme's own render (the audio test support).
  add_executable(stems_tests stems_test.cpp support/command_run.cpp)
  target_link_libraries(stems_tests PRIVATE quorlin_audio_test_support PkgConfig::JSON_GLIB
    GTest::gtest_main)
  target_compile_definitions(stems_tests PRIVATE QUORLIN_BINARY="$<TARGET_FILE:quorlin>")
  add_dependencies(stems_tests quorlin)
  gtest_discover_tests(stems_tests PROPERTIES LABELS "cli" TIMEOUT 120)
endif()

# --stems and --export interrupted by a signal while they write.
if(TARGET quorlin)
  add_executable(signals_tests signals_test.cpp)
  target_link_libraries(signals_tests PRIVATE quorlin_test_support GTest::gtest_main)
  target_compile_definitions(signals_tests PRIVATE QUORLIN_BINARY="$<TARGET_FILE:quorlin>")
  add_dependencies(signals_tests quorlin)
  gtest_discover_tests(signals_tests PROPERTIES LABELS "cli")
endif()
