# Tests that build the real window; they need a display (the test script
# provides Xvfb) and skip without one.
add_executable(gui_tests
  gui/gui_main.cpp
  gui/gui_support.cpp
  gui/main_window_test.cpp
  gui/bad_input_test.cpp
  gui/gui_input.cpp
  gui/table_fixture.cpp
  gui/sample_table_test.cpp
  gui/filter_panel_test.cpp
  gui/external_open_test.cpp
  gui/shortcuts_test.cpp
  hex_text_test.cpp
)
target_link_libraries(gui_tests PRIVATE quorlin_ui quorlin_test_support GTest::gtest)
if(TARGET fake_openspc)
  target_link_libraries(gui_tests PRIVATE fake_openspc)
elseif(TARGET openspc)
  target_link_libraries(gui_tests PRIVATE openspc)
endif()
gtest_discover_tests(gui_tests PROPERTIES LABELS "gui" DISCOVERY_TIMEOUT 30)

# Not a test: saves a picture of the window with a file loaded and the filter
# panel open, for the README (scripts/screenshot).
add_executable(gui_screenshot gui/screenshot.cpp gui/gui_support.cpp)
target_link_libraries(gui_screenshot PRIVATE quorlin_ui quorlin_playback openspc)
