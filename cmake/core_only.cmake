# The pure core and its tests without Qt. Cross-compiled for Windows, the tests
# run under Wine: a prefix of their own in the build tree, no display, no
# console noise, and no offer to install Wine's .NET or HTML engines.
set(KV_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build with this compiler")
set(KV_WINE /usr/lib/wine/wine64 CACHE FILEPATH "Wine's 64-bit loader")

if(CMAKE_CROSSCOMPILING AND WIN32)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all
      WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY= ${KV_WINE})
endif()

add_subdirectory(src)

if(KV_BUILD_TESTS)
  enable_testing()
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KV_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_subdirectory(tests)
endif()
