# The cabinet with the real programs over wall-clock time: ten minutes of customers at the line's
# full rate (frames, memory, descriptors, counters), and power cuts at random moments (no coin
# lost, the counters and the catalogue intact, the next start reached).
foreach(real_bench cabinet_realtime_bench powercut_bench)
  coinshell_add_bench(${real_bench}
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${real_bench}.cpp ${CMAKE_CURRENT_LIST_DIR}/real_cabinet.cpp
    LIBS coinshell_platform coinshell_catalogue)
  add_dependencies(${real_bench} coinshell coinshell-ctl coinshell-demo coinshell-standin
    coinshell-panelsim)
  foreach(skin menu_skin test_skin settings_skin inputs_skin monitor_skin)
    if(TARGET ${skin})
      add_dependencies(${real_bench} ${skin})
    endif()
  endforeach()
endforeach()
