# Cross build for 64-bit Windows with MinGW-w64: the same program as the
# i686 build, for machines whose kernel runs no 32-bit code (Wine then runs
# only 64-bit Windows programs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZEVRIK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZEVRIK_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${ZEVRIK_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${ZEVRIK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEVRIK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
