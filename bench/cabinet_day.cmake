# A whole cabinet day in virtual time on the real main window and operator screens: customers,
# coins, games through a scripted emulator, service visits, a restart across midnight with its
# rotation; the counters checked against the tally, memory, descriptors and threads measured.
coinshell_add_bench(cabinet_day_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/cabinet_day_bench.cpp
  LIBS coinshell_frontend)
foreach(skin menu_skin operator_skins)
  if(TARGET ${skin})
    add_dependencies(cabinet_day_bench ${skin})
  endif()
endforeach()
