# Outside input of the catalogue and the counters: the CSV that coinshell-catalogue imports, and
# profile files (CALC.INI). Both parsers are plain C++: the fuzzers build them from source.
coinshell_add_fuzzer(catalogue_csv_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/tests/catalogue/catalogue_csv_fuzz.cpp
          ${PROJECT_SOURCE_DIR}/src/catalogue/catalogue_csv.cpp
          ${PROJECT_SOURCE_DIR}/src/catalogue/game_row.cpp
          ${PROJECT_SOURCE_DIR}/src/platform/drive_map.cpp
          ${PROJECT_SOURCE_DIR}/src/platform/log.cpp)

coinshell_add_fuzzer(profile_file_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/tests/frontend/profile_file_fuzz.cpp
          ${PROJECT_SOURCE_DIR}/src/platform/profile_file.cpp
          ${PROJECT_SOURCE_DIR}/src/platform/drive_map.cpp
          ${PROJECT_SOURCE_DIR}/src/platform/log.cpp)
