# The panel: decode throughput, and the reader on a pty at the line's limit (latency, loss, CPU).
coinshell_add_bench(panel_bench SOURCES panel_bench.cpp LIBS coinshell_panel util)
