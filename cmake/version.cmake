# Every version number of the build comes from one text, the project
# version: the version resource, the manifest and the release file names.
# A two-part version (2.1) is 2.1.0.
#
# Included by the top CMakeLists.txt, or run alone to write the files
# somewhere else (the release test does, for versions it tries):
#   cmake -DZEVRIK_VERSION=2.1 -DOUT=dir -P cmake/version.cmake

function(zevrik_version_files text out_dir)
    if(NOT text MATCHES "^([0-9]+)\\.([0-9]+)(\\.([0-9]+))?$")
        message(FATAL_ERROR "version '${text}' is not major.minor or major.minor.patch")
    endif()
    set(ZEVRIK_VERSION_MAJOR ${CMAKE_MATCH_1})
    set(ZEVRIK_VERSION_MINOR ${CMAKE_MATCH_2})
    set(ZEVRIK_VERSION_PATCH "${CMAKE_MATCH_4}")
    if(ZEVRIK_VERSION_PATCH STREQUAL "")
        set(ZEVRIK_VERSION_PATCH 0)
    endif()
    set(ZEVRIK_VERSION_TEXT ${text})
    set(ZEVRIK_VERSION_QUAD ${ZEVRIK_VERSION_MAJOR}.${ZEVRIK_VERSION_MINOR}.${ZEVRIK_VERSION_PATCH}.0)
    set(res ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../src/res)
    file(WRITE ${out_dir}/version.txt "${text}\n")
    configure_file(${res}/version.h.in ${out_dir}/generated/zevrik_version.h @ONLY)
    configure_file(${res}/zevrik.manifest.in ${out_dir}/generated/zevrik.manifest @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    zevrik_version_files("${ZEVRIK_VERSION}" "${OUT}")
endif()
