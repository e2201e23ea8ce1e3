# Skin engine figures: a full RepaintSkin of the menu and one ExecuteCommand on a slot.
coinshell_add_bench(skin_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/skin_bench.cpp LIBS coinshell_skin)
target_compile_definitions(skin_bench PRIVATE
  COINSHELL_MENU_SKIN="${PROJECT_BINARY_DIR}/skins/menu/menu.ini")
