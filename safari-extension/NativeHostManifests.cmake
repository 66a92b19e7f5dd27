# The host manifests: they tell Firefox and the Chromium-family browsers where
# the native host is and which extension may start it.
set(SCOURLET_NATIVE_HOST_NAME "com.morrowgate.scourlet")

set(SCOURLET_FIREFOX_EXTENSION_ID "scourlet@morrowgate.com" CACHE STRING
    "Id of the Firefox extension allowed to start the native host")
set(SCOURLET_CHROMIUM_EXTENSION_ID "" CACHE STRING
    "Id (32 letters a-p) of the Chromium/Chrome extension allowed to start the native host; empty: no Chromium manifests")
set(SCOURLET_NATIVE_HOST_MANIFESTS "system" CACHE STRING
    "Where `cmake --install` puts the host manifests: system, user (under HOME) or none")
set_property(CACHE SCOURLET_NATIVE_HOST_MANIFESTS PROPERTY STRINGS system user none)
set(SCOURLET_FIREFOX_HOSTS_DIR "/usr/lib/mozilla/native-messaging-hosts" CACHE PATH
    "System folder of Firefox host manifests")
set(SCOURLET_CHROMIUM_HOSTS_DIR "/etc/chromium/native-messaging-hosts" CACHE PATH
    "System folder of Chromium host manifests")
set(SCOURLET_CHROME_HOSTS_DIR "/etc/opt/chrome/native-messaging-hosts" CACHE PATH
    "System folder of Google Chrome host manifests")

# Firefox takes an e-mail-like id or a GUID in braces.
if(NOT SCOURLET_FIREFOX_EXTENSION_ID MATCHES
        "^([A-Za-z0-9._-]+@[A-Za-z0-9._-]+|{[0-9A-Fa-f]+(-[0-9A-Fa-f]+)*})$")
    message(FATAL_ERROR "SCOURLET_FIREFOX_EXTENSION_ID must be an e-mail-like id or a {GUID}, got '${SCOURLET_FIREFOX_EXTENSION_ID}'")
endif()
string(LENGTH "${SCOURLET_CHROMIUM_EXTENSION_ID}" chromium_id_length)
if(NOT SCOURLET_CHROMIUM_EXTENSION_ID MATCHES "^[a-p]*$" OR
        NOT chromium_id_length MATCHES "^(0|32)$")
    message(FATAL_ERROR "SCOURLET_CHROMIUM_EXTENSION_ID must be 32 letters a-p (or empty), got '${SCOURLET_CHROMIUM_EXTENSION_ID}'")
endif()
if(NOT SCOURLET_NATIVE_HOST_MANIFESTS MATCHES "^(system|user|none)$")
    message(FATAL_ERROR "SCOURLET_NATIVE_HOST_MANIFESTS must be system, user or none, got '${SCOURLET_NATIVE_HOST_MANIFESTS}'")
endif()
foreach(dir SCOURLET_FIREFOX_HOSTS_DIR SCOURLET_CHROMIUM_HOSTS_DIR SCOURLET_CHROME_HOSTS_DIR)
    if(NOT IS_ABSOLUTE "${${dir}}")
        message(FATAL_ERROR "${dir} must be an absolute path, got '${${dir}}'")
    endif()
endforeach()
if(NOT SCOURLET_CHROMIUM_EXTENSION_ID)
    message(STATUS "No SCOURLET_CHROMIUM_EXTENSION_ID: the native host gets no Chromium/Chrome manifest")
endif()

# Manifests for the program in the build tree, for development:
# <build>/native-messaging-hosts/{firefox,chromium}/com.morrowgate.scourlet.json
set(HOST_NAME "${SCOURLET_NATIVE_HOST_NAME}")
set(PROGRAM_PATH "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/scourlet-native-host")
set(FIREFOX_ID "${SCOURLET_FIREFOX_EXTENSION_ID}")
set(CHROMIUM_ID "${SCOURLET_CHROMIUM_EXTENSION_ID}")
set(TEMPLATE_DIR "${CMAKE_CURRENT_SOURCE_DIR}/manifests")
set(OUTPUT_DIR "${CMAKE_BINARY_DIR}/native-messaging-hosts")
include(${CMAKE_CURRENT_SOURCE_DIR}/manifests/WriteManifests.cmake)
set(SCOURLET_NATIVE_HOST_MANIFEST_DIR "${OUTPUT_DIR}" PARENT_SCOPE)

configure_file(manifests/InstallManifests.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/InstallManifests.cmake @ONLY)
install(SCRIPT ${CMAKE_CURRENT_BINARY_DIR}/InstallManifests.cmake)
