# The program's libraries keep no state at file scope: every mutable object
# has an owner. The emulation library (openspc) alone keeps the two its
# handle-less API needs. Sanitizer and fuzzing builds add objects of their own.
if(NOT QUORLIN_SANITIZE AND NOT QUORLIN_TSAN AND NOT QUORLIN_FUZZ)
  add_test(NAME libraries_keep_no_static_state
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/support/no_static_state.sh ${CMAKE_NM}
      $<TARGET_FILE:quorlin_spc> $<TARGET_FILE:quorlin_publish> $<TARGET_FILE:quorlin_tuning>
      $<TARGET_FILE:quorlin_export> $<TARGET_FILE:quorlin_kit> $<TARGET_FILE:quorlin_render>
      $<TARGET_FILE:quorlin_trace> $<TARGET_FILE:quorlin_midi> $<TARGET_FILE:quorlin_cli>
      $<TARGET_FILE:quorlin_playback> $<TARGET_FILE:quorlin_ui>)
  set_tests_properties(libraries_keep_no_static_state PROPERTIES LABELS "cli")
endif()
