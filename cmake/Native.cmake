# Native.cmake - the Linux (ELF) builds: gauge-replay, and everything that
# links the gauge with the native platform seam and embedded resources.

include(EmbedResources)

# Links the gauge into `target` with the native platform seam, the module's
# resources embedded, and the given sound device library.
function(vornak_link_native_gauge target device)
  target_sources(${target} PRIVATE "${PROJECT_SOURCE_DIR}/host/platform_posix.cpp")
  vornak_embed_resources(${target})
  target_link_libraries(${target} PRIVATE gauge_core ${device} vornak_warnings ${CMAKE_DL_LIBS})
endfunction()

add_executable(gauge-replay tools/gauge_replay.cpp)
vornak_link_native_gauge(gauge-replay sound_recording)
target_link_libraries(gauge-replay PRIVATE hostsim)
