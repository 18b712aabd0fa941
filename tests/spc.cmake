# The data module: reader, chart and tag. No GTK is linked here.
add_executable(spc_tests spc_file_test.cpp sample_chart_test.cpp id666_test.cpp
  snapshot_areas_test.cpp hex_text_test.cpp brr_test.cpp sample_export_test.cpp
  aram_layout_test.cpp)
target_link_libraries(spc_tests PRIVATE quorlin_test_support quorlin_export GTest::gtest_main)
gtest_discover_tests(spc_tests PROPERTIES LABELS "spc")
