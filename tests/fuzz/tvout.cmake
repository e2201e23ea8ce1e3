# The TV-out engine's outside input is what the hardware hands it: the register state a display
# driver left and the video BIOS image (whose tables feed the ATI clock arithmetic). The fuzzer
# sets both from its input, runs the chipset's apply and the centering, and evaluates the signal.
coinshell_add_fuzzer(tvout_apply_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/tests/tvout/tvout_apply_fuzz.cpp
  LIBS coinshell_tvout)
