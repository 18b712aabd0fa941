# Instrument kits: tuning, the envelope, and the kit files as a sampler
# (FluidSynth) loads and plays them.
pkg_check_modules(FLUIDSYNTH REQUIRED IMPORTED_TARGET fluidsynth)
add_library(quorlin_brr_encode STATIC support/brr_encode.cpp)
target_link_libraries(quorlin_brr_encode PUBLIC quorlin_test_support)
add_executable(kit_tests tuning_test.cpp kit_files_test.cpp)
target_link_libraries(kit_tests PRIVATE quorlin_kit quorlin_cli quorlin_brr_encode PkgConfig::FLUIDSYNTH
  GTest::gtest_main)
gtest_discover_tests(kit_tests PROPERTIES LABELS "kit")
