# Quorlin on the desktop: the demo song it ships, and what `cmake --install`
# lays out for launchers, software centres and file managers.
add_executable(demo_spc_test demo_spc_test.cpp)
target_link_libraries(demo_spc_test PRIVATE
  quorlin_demo_spc openspc quorlin_audio_test_support GTest::gtest_main)
target_compile_definitions(demo_spc_test PRIVATE QUORLIN_DEMO_SPC="${CMAKE_BINARY_DIR}/demo.spc")
add_dependencies(demo_spc_test demo_spc)
gtest_discover_tests(demo_spc_test PROPERTIES LABELS "desktop" TIMEOUT 60)

# Installs into a temporary prefix and validates what landed there.
add_test(NAME desktop_install
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/desktop_install_test.sh ${CMAKE_BINARY_DIR} ${QUORLIN_APP_ID}
    ${PROJECT_VERSION})
set_tests_properties(desktop_install PROPERTIES LABELS "desktop" TIMEOUT 120 SKIP_RETURN_CODE 77)
