# Tests that build the real window; they need a display (the test script
# provides Xvfb) and skip without one.
add_executable(gui_tests
  gui/gui_main.cpp
  gui/gui_support.cpp
  gui/main_window_test.cpp
  gui/bad_input_test.cpp
  stress/load_report.cpp
  gui/gui_input.cpp
  gui/table_fixture.cpp
  gui/sample_table_test.cpp
  gui/filter_panel_test.cpp
  gui/external_open_test.cpp
  gui/shortcuts_test.cpp
  gui/voice_table_test.cpp
  gui/aram_map_test.cpp
  gui/aram_live_test.cpp
  support/command_run.cpp
  gui/waveform_view_test.cpp
  gui/sample_inspector_test.cpp
  gui/inspector_pane_test.cpp
  gui/window_test.cpp
  gui/window_actions_test.cpp
  gui/export_dialog_test.cpp
  gui/voice_mute_test.cpp
  gui/sample_tuning_test.cpp
  gui/song_follow_test.cpp
  gui/notes_view_test.cpp
)
target_link_libraries(gui_tests PRIVATE quorlin_ui quorlin_test_support GTest::gtest)
# The map's free list is checked against the command line's --free.
target_compile_definitions(gui_tests PRIVATE QUORLIN_BINARY="$<TARGET_FILE:quorlin>")
add_dependencies(gui_tests quorlin)
target_include_directories(gui_tests PRIVATE stress)
if(TARGET fake_openspc)
  target_link_libraries(gui_tests PRIVATE fake_openspc)
elseif(TARGET openspc)
  target_link_libraries(gui_tests PRIVATE openspc)
endif()
gtest_discover_tests(gui_tests PROPERTIES LABELS "gui" DISCOVERY_TIMEOUT 30)

# Export Stems renders in the window while GTK runs: together they make
# more than GLib's first block of quarks, which GLib leaks by design (see
# tests/kit.cmake), so this program runs with GLib's allocations left out of
# the leak report.
add_executable(stems_dialog_tests gui/gui_main.cpp gui/gui_support.cpp gui/gui_input.cpp
  gui/table_fixture.cpp gui/stems_dialog_test.cpp)
target_link_libraries(stems_dialog_tests PRIVATE quorlin_ui quorlin_test_support GTest::gtest)
if(TARGET fake_openspc)
  target_link_libraries(stems_dialog_tests PRIVATE fake_openspc)
elseif(TARGET openspc)
  target_link_libraries(stems_dialog_tests PRIVATE openspc)
endif()
gtest_discover_tests(stems_dialog_tests DISCOVERY_TIMEOUT 30 PROPERTIES LABELS "gui"
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/lsan-glib-quarks.supp:print_suppressions=0")

# The program itself, twice on one private session bus: the second hands its
# file to the first's window, and this test stands in for the session
# manager. Windows are read from the X server (libX11 comes with GTK's
# development files).
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
add_executable(running_instance_test gui/running_instance_test.cpp)
target_link_libraries(running_instance_test PRIVATE quorlin_test_support PkgConfig::X11
  PkgConfig::GTK3 GTest::gtest_main)
target_compile_definitions(running_instance_test PRIVATE
  QUORLIN_PROGRAM="$<TARGET_FILE:quorlin>")
add_dependencies(running_instance_test quorlin)
gtest_discover_tests(running_instance_test PROPERTIES LABELS "gui" TIMEOUT 120
  DISCOVERY_TIMEOUT 30)

# Not a test: saves a picture of the window with a file loaded and the filter
# panel open, for the README (scripts/screenshot).
add_executable(gui_screenshot gui/screenshot.cpp gui/gui_support.cpp)
target_link_libraries(gui_screenshot PRIVATE quorlin_ui quorlin_playback openspc)

# Play/Stop pressed many times through the real library into the test sound
# server; skips without one. Stress-sized runs: QUORLIN_PLAY_STOP_CYCLES.
add_executable(play_stop_stress gui/gui_main.cpp gui/gui_support.cpp gui/play_stop_stress_test.cpp)
target_link_libraries(play_stop_stress PRIVATE quorlin_ui quorlin_playback openspc
  quorlin_audio_test_support GTest::gtest)
gtest_discover_tests(play_stop_stress PROPERTIES LABELS "audio" TIMEOUT 600
  RESOURCE_LOCK quorlin_test_sink DISCOVERY_TIMEOUT 30)

# Quitting while a song plays, through the real library and the window, in
# a program of its own per run (quit_while_playing); labelled an engine test
# so that the ThreadSanitizer build runs it too. One label per discovered
# test: gtest_discover_tests spreads a list over its properties' pairs, and
# the lock after it would be lost.
add_executable(quit_while_playing gui/quit_while_playing.cpp gui/gui_support.cpp
  gui/gui_input.cpp)
target_link_libraries(quit_while_playing PRIVATE quorlin_ui quorlin_playback openspc
  quorlin_audio_test_support)
# Closing the window while Export Stems writes a long song, the same way.
add_executable(close_while_stems gui/close_while_stems.cpp gui/gui_support.cpp)
target_link_libraries(close_while_stems PRIVATE quorlin_ui quorlin_playback openspc)
add_executable(quit_test gui/quit_test.cpp)
target_link_libraries(quit_test PRIVATE quorlin_test_support PkgConfig::GTK3 GTest::gtest_main)
target_compile_definitions(quit_test PRIVATE
  QUORLIN_QUIT_WHILE_PLAYING="$<TARGET_FILE:quit_while_playing>"
  QUORLIN_CLOSE_WHILE_STEMS="$<TARGET_FILE:close_while_stems>")
add_dependencies(quit_test quit_while_playing close_while_stems)
# Its songs run flat out into the null device: kept apart from the tests that
# time what reaches the test sound server.
gtest_discover_tests(quit_test PROPERTIES LABELS "engine" TIMEOUT 300
  RESOURCE_LOCK quorlin_test_sink)
