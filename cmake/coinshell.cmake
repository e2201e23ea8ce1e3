# Shared compile settings and the helpers every folder uses.

function(coinshell_common_props target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-missing-field-initializers)
    if(COINSHELL_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
  target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
endfunction()

# coinshell_add_library(name [LIBS ...]): a library from every .cpp of the current folder.
function(coinshell_add_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  coinshell_common_props(${name})
endfunction()

# coinshell_add_test(name SOURCES ... LIBS ... [LABELS ...]): one GoogleTest binary, one CTest entry.
function(coinshell_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  coinshell_common_props(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;COINSHELL_SOURCE_DIR=${PROJECT_SOURCE_DIR};COINSHELL_BINARY_DIR=${PROJECT_BINARY_DIR}"
    TIMEOUT 300
    LABELS "${ARG_LABELS}")
endfunction()

# coinshell_add_fuzzer(name SOURCES ... LIBS ...): a libFuzzer target (clang only, COINSHELL_FUZZ build).
function(coinshell_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  add_dependencies(fuzzers ${name})
endfunction()


# coinshell_add_bench(name SOURCES ... LIBS ...): a Google Benchmark program under bench/.
function(coinshell_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  coinshell_common_props(${name})
endfunction()
