# Native.cmake - the Linux (ELF) builds: gauge-replay, and everything that
# links the gauge with the native platform seam and embedded resources.

include(EmbedResources)

# Links the gauge into `target` with the native platform seam, the module's
# resources embedded, its extras for a host, and the given sound device
# library.
function(vornak_link_native_gauge target device)
  target_sources(${target} PRIVATE "${PROJECT_SOURCE_DIR}/platform/platform_posix.cpp"
    "${PROJECT_SOURCE_DIR}/host/module_extras.cpp")
  vornak_embed_resources(${target})
  target_link_libraries(${target} PRIVATE gauge_core ${device} vornak_warnings ${CMAKE_DL_LIBS})
endfunction()

add_executable(gauge-replay programs/gauge-replay/gauge_replay.cpp)
vornak_link_native_gauge(gauge-replay sound_recording)
target_link_libraries(gauge-replay PRIVATE hostsim vornak_cli11)

# The OpenAL sound device: the Linux module's real sound.
find_package(OpenAL REQUIRED)
add_library(sound_openal STATIC sound/device_openal.cpp)
target_include_directories(sound_openal PUBLIC "${PROJECT_SOURCE_DIR}" ${OPENAL_INCLUDE_DIR})
target_link_libraries(sound_openal PUBLIC wave_reader ${OPENAL_LIBRARY} PRIVATE vornak_warnings)

# The Linux module, VORNAK_TOWS.so: loaded with dlopen by a host, which finds
# Linkage and ImportTable by name. Its clips and bitmaps are embedded in it,
# and the version script exports only what a host looks up; everything else,
# the static libraries' symbols included, stays inside.
add_library(VORNAK_TOWS MODULE "${PROJECT_SOURCE_DIR}/host/module.cpp")
set_target_properties(VORNAK_TOWS PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
vornak_link_native_gauge(VORNAK_TOWS sound_openal)
target_link_options(VORNAK_TOWS PRIVATE
  "-Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/module_exports.map" "-Wl,--no-undefined")
set_property(TARGET VORNAK_TOWS APPEND PROPERTY LINK_DEPENDS
  "${PROJECT_SOURCE_DIR}/cmake/module_exports.map")

# panel-host: the substitute host as a program that loads a module file,
# models the aircraft and pilot, and draws, records and shows the panel.
find_package(SDL2 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(SDL2_TTF REQUIRED IMPORTED_TARGET SDL2_ttf)
pkg_check_modules(SDL2_IMAGE REQUIRED IMPORTED_TARGET SDL2_image)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)

# The host-side pieces that tests link too: panel-host's rules
# (cmake/PanelHost.cmake) and its SDL drawing, with the substitute host and
# module loading.
include(PanelHost)
add_library(panel_host_lib STATIC ${vornak_panel_host_lib_sources} programs/panel-host/draw_sdl.cpp)
target_include_directories(panel_host_lib PUBLIC "${PROJECT_SOURCE_DIR}" PRIVATE "${CMAKE_BINARY_DIR}/generated")
target_link_libraries(panel_host_lib PUBLIC hostsim module_file SDL2::SDL2 PkgConfig::SDL2_TTF PkgConfig::SDL2_IMAGE
  PkgConfig::FONTCONFIG ${CMAKE_DL_LIBS} PRIVATE vornak_warnings)

# Its modes are written once for every system; the rest is Linux's own.
add_executable(panel-host ${vornak_panel_host_sources} programs/panel-host/platform_linux.cpp
  programs/panel-host/window_sdl.cpp)
target_include_directories(panel-host PRIVATE "${CMAKE_BINARY_DIR}/generated")
target_link_libraries(panel-host PRIVATE panel_host_lib vornak_cli11 vornak_warnings)
add_dependencies(panel-host VORNAK_TOWS)
