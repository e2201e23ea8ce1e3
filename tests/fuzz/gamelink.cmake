# The emulator link: the ".xy" loader with the launch preparation, the shared frame's block
# decoder through a comparison pass, and the bitmap file reader.
coinshell_add_fuzzer(gamelink_xy_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/tests/gamelink/xy_fuzz.cpp
  LIBS coinshell_gamelink)

coinshell_add_fuzzer(gamelink_dib_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/tests/gamelink/dib_fuzz.cpp
  LIBS coinshell_gamelink)

coinshell_add_fuzzer(gamelink_bmp_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/tests/gamelink/bmp_fuzz.cpp
  LIBS coinshell_gamelink)
