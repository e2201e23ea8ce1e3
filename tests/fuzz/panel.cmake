# The panel: the frame cutter and decoder (bytes from the serial line), and the panel simulator's
# script language.
coinshell_add_fuzzer(panel_frame_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/tests/panel/panel_frame_fuzz.cpp
  LIBS coinshell_panel)

coinshell_add_fuzzer(panel_script_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/tests/panel/panel_script_fuzz.cpp
          ${PROJECT_SOURCE_DIR}/tools/coinshell-panelsim/panelsim_script.cpp
          ${PROJECT_SOURCE_DIR}/tools/coinshell-panelsim/panel_line.cpp
  LIBS coinshell_panel)
target_include_directories(panel_script_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/tools/coinshell-panelsim)
