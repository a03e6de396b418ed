# Build-time settings the program is given by its build. The defaults are placeholders
# that fit the test bed (the loopback hosts are where the stand-ins and the collector
# listen); a release build passes the real values with -D.

set(ZENTRAK_AGENT_KEY "5a3c9e0f7b21d846" CACHE STRING
    "RC2 key of the agent's Hostname value: 16 hexadecimal-digit characters")
set(ZENTRAK_APP_KEY "0f1e2d3c4b5a69788796a5b4c3d2e1f0" CACHE STRING
    "Application key of the comms channel: 32 lower-case hexadecimal digits")
set(ZENTRAK_APP_ID "7d0c5b1e-3a2f-4e86-9b47-c1d2e3f4a5b6" CACHE STRING
    "Application identifier of the comms channel: lower-case GUID, no braces")
set(ZENTRAK_TRACKING_HOST "127.0.0.11" CACHE STRING
    "Host of the campaign and detection tracking endpoints")
set(ZENTRAK_STATS_HOST "127.0.0.12" CACHE STRING
    "Host of the statistics endpoint (VPN traffic event)")
set(ZENTRAK_SDK_EDATA_FILE "${CMAKE_SOURCE_DIR}/resources/placeholder/tessel-edata.bin" CACHE FILEPATH
    "Contents of the SDK data resource (type 1000, id 102): \"tessel-edata:\" and the data")
set(ZENTRAK_SDK_ATC_FILE "${CMAKE_SOURCE_DIR}/resources/placeholder/tessel-atc.txt" CACHE FILEPATH
    "Contents of the TESSELRES/TESSELATC resource: \"embedded.atc:\" and a 280-character Base64 token")

if(NOT ZENTRAK_AGENT_KEY MATCHES "^[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]$")
  message(FATAL_ERROR "ZENTRAK_AGENT_KEY must be 16 hexadecimal-digit characters")
endif()
string(LENGTH "${ZENTRAK_APP_KEY}" _key_length)
if(NOT _key_length EQUAL 32 OR NOT ZENTRAK_APP_KEY MATCHES "^[0-9a-f]+$")
  message(FATAL_ERROR "ZENTRAK_APP_KEY must be 32 lower-case hexadecimal digits")
endif()
if(NOT ZENTRAK_APP_ID MATCHES "^[0-9a-f]+-[0-9a-f]+-[0-9a-f]+-[0-9a-f]+-[0-9a-f]+$")
  message(FATAL_ERROR "ZENTRAK_APP_ID must be a lower-case GUID without braces")
endif()
string(LENGTH "${ZENTRAK_APP_ID}" _id_length)
if(NOT _id_length EQUAL 36)
  message(FATAL_ERROR "ZENTRAK_APP_ID must have 36 characters")
endif()
foreach(_file ZENTRAK_SDK_EDATA_FILE ZENTRAK_SDK_ATC_FILE)
  if(NOT EXISTS "${${_file}}")
    message(FATAL_ERROR "${_file}: ${${_file}} does not exist")
  endif()
endforeach()
