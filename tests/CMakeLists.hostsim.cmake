# Test plugins for the emulator's own tests: one that crashes at load, one that hooks the moon site
# and restores it at unload.
foreach(name crash_plugin hook_plugin)
  add_library(${name} MODULE ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
  set_target_properties(${name} PROPERTIES PREFIX "")
  target_link_libraries(${name} PRIVATE dl)
  add_dependencies(nightglass_tests ${name})
endforeach()
target_compile_definitions(nightglass_tests PRIVATE
  NIGHTGLASS_CRASH_PLUGIN_PATH="$<TARGET_FILE:crash_plugin>"
  NIGHTGLASS_HOOK_PLUGIN_PATH="$<TARGET_FILE:hook_plugin>")
