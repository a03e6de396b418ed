# zentrak_install_comms_standin(<target>): copies the stand-in CommsWrapper.dll beside the
# target's executable after each build, where both ways the program loads it find it.
# Included from the top-level CMakeLists.txt before tests/; the DLL target itself is
# defined in tools/standins/comms/CMakeLists.txt.
function(zentrak_install_comms_standin target)
  add_dependencies(${target} comms_standin)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            "$<TARGET_FILE:comms_standin>" "$<TARGET_FILE_DIR:${target}>/CommsWrapper.dll"
    VERBATIM)
endfunction()
