# The TV-out window's settings come from a registry key file an operator may edit: the key store's
# value forms, its key file names and whole key files are fuzzed.
coinshell_add_fuzzer(tvout_registry_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/tests/tvout/registry_store_fuzz.cpp
          ${PROJECT_SOURCE_DIR}/src/platform/registry_store.cpp
          ${PROJECT_SOURCE_DIR}/src/platform/profile_file.cpp
          ${PROJECT_SOURCE_DIR}/src/platform/drive_map.cpp
          ${PROJECT_SOURCE_DIR}/src/platform/log.cpp)
