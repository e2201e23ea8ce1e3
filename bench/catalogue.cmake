# Catalogue figures: the page fill's walk of 40 rows and a start-up rotation, on 10,000 games.
coinshell_add_bench(catalogue_walk_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalogue_walk_bench.cpp
  LIBS coinshell_catalogue)
coinshell_add_bench(catalogue_rotation_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalogue_rotation_bench.cpp
  LIBS coinshell_frontend)
