# The stand-in host SDK for tests and demos: where its files are built, and how a test
# program gets them beside itself (the folder of the program is where Wine resolves the
# SDK's private assemblies, so it is also the setup "Path" a test bed writes).
#
#   zentrak_install_sdk_standin(<target>)
#     Before <target> is built, copies the stand-in DLL and the three assembly manifests
#     (ZENTRAK_SDK_STANDIN_FILES) from ZENTRAK_SDK_STANDIN_DIR into the folder of
#     <target>'s file, again on every build when they changed.

set(ZENTRAK_SDK_STANDIN_DIR "${CMAKE_BINARY_DIR}/standins/sdk" CACHE INTERNAL
    "Folder holding the stand-in host SDK: TesselApi.dll and its assembly manifests")
set(ZENTRAK_SDK_STANDIN_FILES
    TesselApi.dll TesselApi.manifest TesselCoreApi.tlb.manifest PirxaApi.tlb.manifest
    CACHE INTERNAL "The stand-in host SDK's files, as a folder beside a program needs them")

function(zentrak_install_sdk_standin target)
  set(sources "")
  foreach(file IN LISTS ZENTRAK_SDK_STANDIN_FILES)
    list(APPEND sources "${ZENTRAK_SDK_STANDIN_DIR}/${file}")
  endforeach()
  set(copy "${target}_sdk_standin")
  add_custom_target(${copy}
    COMMAND "${CMAKE_COMMAND}" -E make_directory "$<TARGET_FILE_DIR:${target}>"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different ${sources} "$<TARGET_FILE_DIR:${target}>"
    COMMENT "Stand-in host SDK beside ${target}"
    VERBATIM)
  add_dependencies(${copy} tessel_standin)
  add_dependencies(${target} ${copy})
endfunction()
