# Programs for scripts/stress and scripts/memcheck, not ctest tests: the
# stress run takes minutes and the memcheck runs need valgrind.
add_library(quorlin_stress_support STATIC
  stress/stress_inputs.cpp
  stress/load_report.cpp
  stress/load_checker.cpp
  stress/stderr_capture.cpp
  stress/resident_memory.cpp
  gui/gui_support.cpp)
target_include_directories(quorlin_stress_support PUBLIC stress gui)
target_link_libraries(quorlin_stress_support PUBLIC quorlin_ui quorlin_test_support)

# Thousands of loads through the real window (scripts/stress).
add_executable(load_stress stress/load_stress.cpp)
target_link_libraries(load_stress PRIVATE
  quorlin_stress_support quorlin_ui quorlin_playback openspc)

# The load path and the engine under valgrind (scripts/memcheck). The engine
# calls the emulation library: list the library after it, as the program does.
add_executable(memcheck_load stress/memcheck_load.cpp)
target_link_libraries(memcheck_load PRIVATE
  quorlin_stress_support quorlin_ui quorlin_playback openspc)
if(TARGET quorlin_audio_test_support)
  add_executable(memcheck_play stress/memcheck_play.cpp)
  target_link_libraries(memcheck_play PRIVATE quorlin_playback openspc quorlin_audio_test_support)
endif()
