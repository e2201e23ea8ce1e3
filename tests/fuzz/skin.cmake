# The skin INI and script parsers are pure C++: the fuzzer builds them without Qt.
coinshell_add_fuzzer(skin_ini_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/tests/skin/skin_ini_fuzz.cpp
          ${PROJECT_SOURCE_DIR}/src/skin/skin_parser.cpp
          ${PROJECT_SOURCE_DIR}/src/skin/skin_script.cpp)
