# panel-host's sources that are the same on every system: its command line,
# the session (attach, replay, reload), the timeline, the modelled run and
# the files it writes, and the window's logic. Each system adds its
# platform file, its window and its drawing (Native.cmake, Windows.cmake).
set(vornak_panel_host_sources
  programs/panel-host/main.cpp
  programs/panel-host/command_line.cpp
  programs/panel-host/session.cpp
  programs/panel-host/timeline.cpp
  programs/panel-host/world.cpp
  programs/panel-host/run.cpp
  programs/panel-host/outputs.cpp
  programs/panel-host/window.cpp)
