# The window's use of the song's trace, apart from the window: the timeline's
# arithmetic and the Sample page's words. No display needed.
add_executable(song_view_tests timeline_layout_test.cpp)
target_link_libraries(song_view_tests PRIVATE quorlin_ui GTest::gtest_main)
gtest_discover_tests(song_view_tests PROPERTIES LABELS "song")

# The same in the real window (needs a display, skips without one): a
# program of its own, so that its tests run apart from the other GUI tests.
add_executable(song_window_tests gui/gui_main.cpp gui/gui_support.cpp gui/gui_input.cpp
  gui/table_fixture.cpp gui/song_follow_test.cpp)
target_include_directories(song_window_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/gui)
target_link_libraries(song_window_tests PRIVATE quorlin_ui quorlin_test_support GTest::gtest)
if(TARGET fake_openspc)
  target_link_libraries(song_window_tests PRIVATE fake_openspc)
elseif(TARGET openspc)
  target_link_libraries(song_window_tests PRIVATE openspc)
endif()
gtest_discover_tests(song_window_tests PROPERTIES LABELS "gui" DISCOVERY_TIMEOUT 30)
