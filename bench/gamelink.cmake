# The emulator link: one screen-check pass (decode seven blocks, compare seven regions).
coinshell_add_bench(gamelink_bench SOURCES gamelink_bench.cpp LIBS coinshell_gamelink)
