# panel-host's sources that are the same on every system, in two lists.
# Each system adds its platform file, its window and its drawing
# (Native.cmake, Windows.cmake).
#
# The pieces Linux's tests link too (panel_host_lib in Native.cmake): the
# aircraft and pilot, the panel's drawing and the WAV file.
set(vornak_panel_host_lib_sources
  programs/panel-host/aircraft.cpp
  programs/panel-host/panel_draw.cpp
  programs/panel-host/wav_file.cpp)

# The program's own: its command line, the session (attach, replay,
# reload), the timeline, the modelled run and the files it writes, and the
# window's logic.
set(vornak_panel_host_sources
  programs/panel-host/main.cpp
  programs/panel-host/command_line.cpp
  programs/panel-host/session.cpp
  programs/panel-host/timeline.cpp
  programs/panel-host/world.cpp
  programs/panel-host/run.cpp
  programs/panel-host/outputs.cpp
  programs/panel-host/window.cpp)
