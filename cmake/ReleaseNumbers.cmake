# Checks of the numbers a release carries: the version and the build number
# that update checks compare with a release file.
#
# Included by the build; also runnable on its own, as the tests do:
#   cmake -DVERSION=1.2.3 -P cmake/ReleaseNumbers.cmake
#   cmake -DBUILD_NUMBER=52 -P cmake/ReleaseNumbers.cmake

# A version update checks can compare: 1 to 6 dot-separated runs of ASCII
# digits, at most 80 bytes, each run within a signed 64-bit integer. A version
# they refuse would leave the build number alone to decide whether an update
# exists.
function(scourlet_check_update_version version)
    string(LENGTH "${version}" length)
    if(NOT version MATCHES "^[0-9]+(\\.[0-9]+)*$" OR length GREATER 80)
        message(FATAL_ERROR "The version '${version}' is not a valid update version")
    endif()
    string(REPLACE "." ";" pieces "${version}")
    list(LENGTH pieces count)
    if(count GREATER 6)
        message(FATAL_ERROR "The version '${version}' has more than 6 pieces")
    endif()
    foreach(piece IN LISTS pieces)
        string(REGEX REPLACE "^0+([0-9])" "\\1" digits "${piece}")
        string(LENGTH "${digits}" digitCount)
        if(digitCount GREATER 19 OR (digitCount EQUAL 19 AND digits STRGREATER "9223372036854775807"))
            message(FATAL_ERROR "The version '${version}' has a piece beyond 64 bits")
        endif()
    endforeach()
endfunction()

# A build number: a whole number of at most 18 digits (so it fits 64 bits).
function(scourlet_check_app_build build)
    string(LENGTH "${build}" length)
    if(NOT build MATCHES "^[0-9]+$" OR length GREATER 18)
        message(FATAL_ERROR "The build number must be a whole number of at most 18 digits, got '${build}'")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
    if(DEFINED VERSION)
        scourlet_check_update_version("${VERSION}")
    endif()
    if(DEFINED BUILD_NUMBER)
        scourlet_check_app_build("${BUILD_NUMBER}")
    endif()
endif()
