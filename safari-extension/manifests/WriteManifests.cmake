# Writes the host manifests for one location of the program. Used at configure
# time (for the build tree) and by the install step (for the installed program).
# In: HOST_NAME, PROGRAM_PATH, FIREFOX_ID, CHROMIUM_ID (may be empty),
#     TEMPLATE_DIR, OUTPUT_DIR.
# Out: OUTPUT_DIR/firefox/HOST_NAME.json and, with a Chromium id,
#      OUTPUT_DIR/chromium/HOST_NAME.json.
if(NOT IS_ABSOLUTE "${PROGRAM_PATH}")
    message(FATAL_ERROR "The native host's path must be absolute, got '${PROGRAM_PATH}'")
endif()
# The path goes into JSON text as it is.
if(PROGRAM_PATH MATCHES "[\"\\\\\n\r\t]")
    message(FATAL_ERROR "The native host's path holds a character a manifest cannot carry: '${PROGRAM_PATH}'")
endif()
file(REMOVE_RECURSE "${OUTPUT_DIR}/firefox" "${OUTPUT_DIR}/chromium")
configure_file("${TEMPLATE_DIR}/firefox.json.in" "${OUTPUT_DIR}/firefox/${HOST_NAME}.json" @ONLY)
if(CHROMIUM_ID)
    configure_file("${TEMPLATE_DIR}/chromium.json.in" "${OUTPUT_DIR}/chromium/${HOST_NAME}.json" @ONLY)
endif()
