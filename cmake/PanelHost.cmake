# panel-host's sources that are the same on every system. Each system adds
# its platform file, its window and its drawing (Native.cmake, Windows.cmake).
#
# Its rules, which need no system, window or clock: the aircraft and pilot,
# the world and its phases, the timeline and its words, the window's hints and
# hold-to-repeat, the panel's drawing and the WAV file. Linux builds them
# into panel_host_lib, which its tests link too.
set(vornak_panel_host_lib_sources
  programs/panel-host/aircraft.cpp
  programs/panel-host/pilot.cpp
  programs/panel-host/world.cpp
  programs/panel-host/timeline.cpp
  programs/panel-host/words.cpp
  programs/panel-host/window_rules.cpp
  programs/panel-host/panel_draw.cpp
  programs/panel-host/wav_file.cpp)
# The program's modes: its command line, attaching the module, the pace of
# the updates, replay and reload, the modelled run and the files it writes,
# and the window's loop.
set(vornak_panel_host_sources
  programs/panel-host/main.cpp
  programs/panel-host/command_line.cpp
  programs/panel-host/session.cpp
  programs/panel-host/pacing.cpp
  programs/panel-host/replay_mode.cpp
  programs/panel-host/reload_mode.cpp
  programs/panel-host/run.cpp
  programs/panel-host/outputs.cpp
  programs/panel-host/window.cpp)
