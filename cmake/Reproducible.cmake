# The Windows builds give the same bytes for the same sources and settings, wherever and
# whenever they are built: no build path in the debug information, and every time stamp
# the linker and objcopy write is the commit's time (SOURCE_DATE_EPOCH), not the clock.
#
# ZENTRAK_SOURCE_DATE_EPOCH and ZENTRAK_COMMIT come from -D (a release, or a second build
# of the same sources), else SOURCE_DATE_EPOCH in the environment and git, else 0 and
# "unknown"; they are looked up again at every configure.
if(NOT DEFINED ZENTRAK_SOURCE_DATE_EPOCH)
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ZENTRAK_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
  else()
    execute_process(COMMAND git -C "${CMAKE_SOURCE_DIR}" log -1 --format=%ct
      OUTPUT_VARIABLE ZENTRAK_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(NOT ZENTRAK_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    set(ZENTRAK_SOURCE_DATE_EPOCH 0)
  endif()
endif()
if(NOT DEFINED ZENTRAK_COMMIT)
  execute_process(COMMAND git -C "${CMAKE_SOURCE_DIR}" rev-parse HEAD
    OUTPUT_VARIABLE ZENTRAK_COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT ZENTRAK_COMMIT)
    set(ZENTRAK_COMMIT unknown)
  endif()
endif()

# The source and build folders as "." and "build" in file names the compiler records.
add_compile_options("-ffile-prefix-map=${CMAKE_SOURCE_DIR}=."
                    "-ffile-prefix-map=${CMAKE_BINARY_DIR}=build")

# The command prefix that gives a tool the commit's time.
set(ZENTRAK_WITH_EPOCH "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=${ZENTRAK_SOURCE_DATE_EPOCH}")

# The settings a release is built with, by digest: the values, and the SDK resource files.
set(settings_text "")
foreach(setting ZENTRAK_AGENT_KEY ZENTRAK_APP_KEY ZENTRAK_APP_ID ZENTRAK_TRACKING_HOST
                ZENTRAK_STATS_HOST)
  string(APPEND settings_text "${setting}=${${setting}}\n")
endforeach()
foreach(resource ZENTRAK_SDK_EDATA_FILE ZENTRAK_SDK_ATC_FILE)
  file(SHA256 "${${resource}}" resource_digest)
  string(APPEND settings_text "${resource}=${resource_digest}\n")
endforeach()
string(SHA256 ZENTRAK_SETTINGS_SHA256 "${settings_text}")

# What the release script needs of this tree.
file(WRITE "${CMAKE_BINARY_DIR}/release.json"
  "{\"version\": \"${PROJECT_VERSION}\", \"arch\": \"${ZENTRAK_WINDOWS_ARCH}\", "
  "\"commit\": \"${ZENTRAK_COMMIT}\", \"source_date_epoch\": ${ZENTRAK_SOURCE_DATE_EPOCH}, "
  "\"settings_sha256\": \"${ZENTRAK_SETTINGS_SHA256}\"}\n")
