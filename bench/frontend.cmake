# Main-window figures: start-up to startupDone without the fixed waits, and a page fill.
coinshell_add_bench(frontend_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/frontend_bench.cpp
  LIBS coinshell_frontend)
target_compile_definitions(frontend_bench PRIVATE
  COINSHELL_BUILD_SKINS_DIR="${CMAKE_BINARY_DIR}/skins")
if(TARGET menu_skin)
  add_dependencies(frontend_bench menu_skin)
endif()
