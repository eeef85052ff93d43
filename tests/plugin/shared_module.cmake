# Loads the built shared module (quietloom.so) into the test program and
# drives it through the plug-in runner's session. The module resolves its
# window-system calls to this program's stand-ins, so the program exports its
# symbols. Include from tests/CMakeLists.txt after quietloom_tests is defined.
if(TARGET quietloom_plugin AND NOT WIN32)
  set(QUIETLOOM_RUNNER_DIR ${CMAKE_SOURCE_DIR}/tools/plugin_runner)
  target_sources(quietloom_tests PRIVATE
    ${QUIETLOOM_RUNNER_DIR}/module_loader.cpp
    ${QUIETLOOM_RUNNER_DIR}/runner_options.cpp
    ${QUIETLOOM_RUNNER_DIR}/yc48_writer.cpp
    ${QUIETLOOM_RUNNER_DIR}/runner_session.cpp
    ${QUIETLOOM_RUNNER_DIR}/synthetic_clip.cpp
    ${QUIETLOOM_RUNNER_DIR}/table_check.cpp
    ${QUIETLOOM_RUNNER_DIR}/settings_window_stand_ins.cpp)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/shared_module_test.cpp PROPERTIES
    COMPILE_DEFINITIONS "QUIETLOOM_SHARED_MODULE_PATH=\"$<TARGET_FILE:quietloom_plugin>\"")
  target_link_libraries(quietloom_tests PRIVATE ${CMAKE_DL_LIBS})
  set_target_properties(quietloom_tests PROPERTIES ENABLE_EXPORTS ON)
  add_dependencies(quietloom_tests quietloom_plugin)
endif()
