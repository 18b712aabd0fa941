# Instrument kits: tuning, the envelope, and the kit files as a sampler
# (FluidSynth) loads and plays them.
pkg_check_modules(FLUIDSYNTH REQUIRED IMPORTED_TARGET fluidsynth)
add_library(quorlin_brr_encode STATIC support/brr_encode.cpp)
target_link_libraries(quorlin_brr_encode PUBLIC quorlin_test_support)
add_executable(kit_tests tuning_test.cpp kit_files_test.cpp)
target_link_libraries(kit_tests PRIVATE quorlin_kit quorlin_cli quorlin_brr_encode PkgConfig::FLUIDSYNTH
  GTest::gtest_main)
gtest_discover_tests(kit_tests PROPERTIES LABELS "kit")

# The Sample page's tuning and the note field in the real window run with
# the other window tests (tests/gui.cmake).

# The Export Samples chooser writing a kit, and Export MIDI. GLib leaks its first block of
# quarks on purpose when a process makes more than 2048 of them (it keeps
# lookups lock-free), and GTK and libinstpatch together do: that block is
# allocated in GLib's own start-up, with no frame of ours, so this program
# alone runs with GLib's allocations left out of the leak report.
add_executable(kit_dialog_tests gui/gui_main.cpp gui/gui_support.cpp gui/gui_input.cpp
  gui/table_fixture.cpp gui/kit_export_dialog_test.cpp gui/export_midi_test.cpp
  support/command_run.cpp)
target_include_directories(kit_dialog_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/gui)
# Export MIDI is checked against the command line's --export --midi.
target_compile_definitions(kit_dialog_tests PRIVATE QUORLIN_BINARY="$<TARGET_FILE:quorlin>")
add_dependencies(kit_dialog_tests quorlin)
target_link_libraries(kit_dialog_tests PRIVATE quorlin_ui quorlin_test_support GTest::gtest)
if(TARGET fake_openspc)
  target_link_libraries(kit_dialog_tests PRIVATE fake_openspc)
elseif(TARGET openspc)
  target_link_libraries(kit_dialog_tests PRIVATE openspc)
endif()
gtest_discover_tests(kit_dialog_tests DISCOVERY_TIMEOUT 30 PROPERTIES LABELS "gui"
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/lsan-glib-quarks.supp:print_suppressions=0")

# The song as MIDI: the SMF writer, the key-on grid and the song's notes.
add_executable(midi_tests midi_test.cpp)
target_link_libraries(midi_tests PRIVATE quorlin_midi GTest::gtest_main)
gtest_discover_tests(midi_tests PROPERTIES LABELS "kit")

# --export --midi: every written file read back by FluidSynth's player, and
# each voice played with the kit against libgme playing it alone.
if(TARGET quorlin)
  add_executable(midi_render_tests midi_render_test.cpp support/command_run.cpp)
  target_link_libraries(midi_render_tests PRIVATE quorlin_audio_test_support
    PkgConfig::FLUIDSYNTH PkgConfig::JSON_GLIB GTest::gtest_main)
  target_compile_definitions(midi_render_tests PRIVATE QUORLIN_BINARY="$<TARGET_FILE:quorlin>")
  add_dependencies(midi_render_tests quorlin)
  gtest_discover_tests(midi_render_tests PROPERTIES LABELS "cli" TIMEOUT 300)
endif()
