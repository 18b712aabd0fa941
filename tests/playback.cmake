# Playback: the emulation library, the engine against a fake library, and
# the engine through a real sound server.
add_library(quorlin_audio_test_support STATIC
  support/audio_harness.cpp
  support/audio_analysis.cpp
  support/audio_recorder.cpp
  support/gme_reference.cpp)
target_link_libraries(quorlin_audio_test_support PUBLIC quorlin_test_support Threads::Threads
  PRIVATE PkgConfig::GME)

add_executable(openspc_test openspc_test.cpp support/audio_render.cpp)
target_link_libraries(openspc_test PRIVATE openspc quorlin_audio_test_support GTest::gtest_main)
gtest_discover_tests(openspc_test PROPERTIES LABELS "engine" TIMEOUT 120)

# A stand-in for libopenspc (OSPC_Init/OSPC_Run), for programs that play
# without emulating: it renders a counting pattern and records its calls.
# An object library, so its definitions are linked whatever the link order
# (an archive scanned before quorlin_playback would be skipped).
add_library(fake_openspc OBJECT support/fake_openspc.cpp)
target_include_directories(fake_openspc PUBLIC support)
target_link_libraries(fake_openspc PUBLIC openspc_api)

# The ao_play spy is compiled into the program itself, so the engine's calls
# bind to it instead of libao's. The Play button and the message line are
# compiled in without the main window, whose image the test supplies.
add_executable(playback_test playback_test.cpp support/audio_spy.cpp
  ${CMAKE_SOURCE_DIR}/src/gtk_main/play_button.cpp
  ${CMAKE_SOURCE_DIR}/src/gtk_main/player.cpp
  ${CMAKE_SOURCE_DIR}/src/gtk_main/message_line.cpp
  ${CMAKE_SOURCE_DIR}/src/gtk_main/voice_mute.cpp)
target_include_directories(playback_test PRIVATE ${CMAKE_SOURCE_DIR}/src/gtk_main)
target_link_libraries(playback_test PRIVATE quorlin_playback fake_openspc
  quorlin_audio_test_support PkgConfig::GTK3 GTest::gtest_main ${CMAKE_DL_LIBS})
gtest_discover_tests(playback_test PROPERTIES LABELS "engine" TIMEOUT 90)

# Needs a sound server (scripts/sound-server); skips without one. The ao_play
# spy passes everything on to libao unless a test holds the thread up.
add_executable(audio_test audio_test.cpp support/audio_render.cpp support/audio_spy.cpp)
target_link_libraries(audio_test PRIVATE
  quorlin_playback openspc quorlin_audio_test_support GTest::gtest_main ${CMAKE_DL_LIBS})
gtest_discover_tests(audio_test PROPERTIES LABELS "audio" TIMEOUT 90 RESOURCE_LOCK quorlin_test_sink)

# One sample auditioned alone through the real emulation library.
add_executable(spc700_program_test spc700_program_test.cpp support/audio_render.cpp)
target_link_libraries(spc700_program_test PRIVATE openspc quorlin_audio_test_support
  GTest::gtest_main)
gtest_discover_tests(spc700_program_test PROPERTIES LABELS "openspc" TIMEOUT 60)
