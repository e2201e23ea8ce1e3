# The emulator's window messages: from the datagram the stand-in sends to the main window's
# handler running, and the handler's own time.
coinshell_add_bench(supervision_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/supervision_bench.cpp
  LIBS coinshell_frontend)
