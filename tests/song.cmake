# The window's use of the song's trace, apart from the window: the timeline's
# arithmetic and the Sample page's words. No display needed.
add_executable(song_view_tests timeline_layout_test.cpp)
target_link_libraries(song_view_tests PRIVATE quorlin_ui GTest::gtest_main)
gtest_discover_tests(song_view_tests PROPERTIES LABELS "song")

# The same in the real window runs with the other window tests
# (tests/gui.cmake).
