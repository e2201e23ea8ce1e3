# TV-out engine figures: an apply per chip on the simulated card (time, port accesses, and the
# time those accesses take on a real ISA/PCI bus), and the ATI FIFO arithmetic.
coinshell_add_bench(tvout_apply_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/tvout_apply_bench.cpp
  LIBS coinshell_tvout)
