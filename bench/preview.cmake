# One preview tick (step 5 frames, convert, draw) on 352 x 288 MPEG-4 and MJPEG AVIs, and the
# decode work against the ffmpeg program's.
coinshell_add_bench(preview_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/preview_bench.cpp
  LIBS coinshell_frontend)
