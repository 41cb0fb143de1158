# Windows.cmake - the Windows (PE) builds, cross-compiled with mingw-w64:
# on both targets the gauge module VORNAK_TOWS.gau, the hosts that run it
# under wine (gauge-replay.exe, panel-host.exe) and a test build of the
# module that tells its DirectSound counts; the release ZIP on the 32-bit
# one.
#
# The hosts link libgcc and libstdc++ statically; the module links no run
# time at all, so it imports nothing but KERNEL32, USER32 and DSOUND, which
# every Windows it runs on has.

enable_language(RC)

# The module's entry, DllMain(instance, reason, reserved), as the linker
# names it: __stdcall decoration on i686 only.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(vornak_arch i686)
  set(vornak_dll_entry _DllMain@12)
else()
  set(vornak_arch x86_64)
  set(vornak_dll_entry DllMain)
endif()

add_link_options(-static-libgcc -static-libstdc++ -static)

# The gauge is plain C++ with no exceptions or run-time types; built without
# them, each function in its own section and unused ones dropped at link,
# the module carries little beyond its clips and bitmaps. Data stays in
# whole sections: with -fdata-sections mingw's gcc puts zero-filled data in
# .data, where it takes room in the file, instead of .bss. No compiler
# version string in every object either.
set(vornak_lean_flags -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -fno-ident)
target_compile_options(gauge_core PRIVATE ${vornak_lean_flags})
target_compile_options(wave_reader PRIVATE ${vornak_lean_flags})

# DirectSound's entry by ordinal 1, from our own import library: the
# toolchain's libdsound.a would import it by name.
set(dsound_def "${PROJECT_SOURCE_DIR}/resources/dsound_${vornak_arch}.def")
set(dsound_lib "${CMAKE_CURRENT_BINARY_DIR}/libdsound_ordinal.a")
add_custom_command(OUTPUT "${dsound_lib}"
  COMMAND ${VORNAK_DLLTOOL} --input-def "${dsound_def}" --output-lib "${dsound_lib}"
  DEPENDS "${dsound_def}"
  COMMENT "Import library for DSOUND.dll by ordinal")
add_custom_target(dsound_ordinal DEPENDS "${dsound_lib}")

# The clips and bitmaps (GaugeNames), listed in the resource script and
# found by windres on its include path.
set(resource_files "")
set(VORNAK_RC_CLIPS "")
set(VORNAK_RC_BITMAPS "")
foreach(clip IN LISTS VORNAK_CLIPS)
  list(APPEND resource_files "${VORNAK_RESOURCE_DIR}/${clip}.wav")
  string(APPEND VORNAK_RC_CLIPS "${clip} WAV \"${clip}.wav\"\n")
endforeach()
foreach(pair IN LISTS VORNAK_BITMAPS)
  string(REPLACE ":" ";" parts "${pair}")
  list(GET parts 0 number)
  list(GET parts 1 stem)
  list(APPEND resource_files "${VORNAK_RESOURCE_DIR}/${stem}.bmp")
  string(APPEND VORNAK_RC_BITMAPS "${number} BITMAP \"${stem}.bmp\"\n")
endforeach()
set(vornak_rc "${CMAKE_CURRENT_BINARY_DIR}/generated/vornak_tows.rc")
configure_file("${PROJECT_SOURCE_DIR}/resources/vornak_tows.rc.in" "${vornak_rc}" @ONLY)
set_source_files_properties("${vornak_rc}" PROPERTIES OBJECT_DEPENDS "${resource_files}")

function(vornak_add_resources target)
  target_sources(${target} PRIVATE "${vornak_rc}")
  target_include_directories(${target} PRIVATE
    "$<$<COMPILE_LANGUAGE:RC>:${VORNAK_RESOURCE_DIR}>")
endfunction()

# The gauge module as the simulator loads it: a DLL named VORNAK_TOWS.gau
# that exports exactly ImportTable and Linkage (resources/vornak_tows.def).
# The module's own memcpy, memset and memcmp, for the calls the compiler
# emits (vornak_module_memory, CMakeLists.txt).
set_source_files_properties("${vornak_module_memory}" PROPERTIES
  COMPILE_OPTIONS "${vornak_module_memory_options}")

function(vornak_add_module target)
  add_library(${target} MODULE
    platform/platform_win32.cpp
    "${vornak_module_memory}"
    host/module_extras.cpp
    sound/device_directsound.cpp
    resources/version.rc
    resources/vornak_tows.def)
  vornak_add_resources(${target})
  add_dependencies(${target} dsound_ordinal)
  target_link_libraries(${target} PRIVATE gauge_core vornak_warnings "${dsound_lib}")
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${vornak_lean_flags}>)
  # No C or C++ run-time start-up: the gauge needs none, and MinGW's would
  # bring a TLS directory (which Windows before Vista does not set up for a
  # DLL loaded with LoadLibrary), pseudo-relocation code and the imports
  # they use. DllMain is the entry itself; the libraries are named, so
  # nothing else comes in: KERNEL32 and USER32 for resources, the module's
  # name and the window, libgcc for its helpers; the memory routines the
  # compiler calls are the module's own. No symbols, and unused sections
  # dropped.
  target_link_options(${target} PRIVATE -s -nostartfiles -nostdlib
    -Wl,--entry=${vornak_dll_entry} -Wl,--gc-sections
    -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc)
  target_link_libraries(${target} PRIVATE kernel32 user32 gcc)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME VORNAK_TOWS SUFFIX ".gau")
endfunction()

vornak_add_module(vornak_tows)

# The same module with one more export, vornak_audio_counts (host/
# module_extras.h), for the reload test's leak check. It lives in its own folder and never ships. Built on
# both targets, like the hosts below: the 32-bit ones run the shipped
# module under 32-bit wine.
vornak_add_module(vornak_tows_counting)
target_compile_definitions(vornak_tows_counting PRIVATE VORNAK_EXPORT_SOUND_COUNTS)
set_target_properties(vornak_tows_counting PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/counting")

# The programs run on Windows 98 and later, so they import only what its DLLs
# export (tests/windows/win98_exports.txt). CLI11 checks file names with
# std::filesystem, whose Windows code calls routines that came with
# Windows 2000 (GetFileSizeEx, CreateHardLinkW, FindFirstVolumeW...); its
# stat() checks do the same job with the C library's _stat.
target_compile_definitions(vornak_cli11 INTERFACE CLI11_HAS_FILESYSTEM=0)

# gauge-replay.exe: the gauge linked in with the recording device; its
# resources are compiled into the executable, where FindResourceA on its
# own image finds them.
add_executable(gauge-replay programs/gauge-replay/gauge_replay.cpp platform/platform_win32.cpp
  platform/executable_entry_win32.cpp)
vornak_add_resources(gauge-replay)
target_link_libraries(gauge-replay PRIVATE gauge_core sound_recording hostsim vornak_cli11 vornak_warnings)
# On 32-bit Windows, five routines the toolchain's libraries import, answered
# by ones that Windows 98 has (panel-host.exe and the setup program the same,
# below): the one way every 32-bit program keeps to Windows 98's imports.
if(vornak_arch STREQUAL "i686")
  target_sources(gauge-replay PRIVATE programs/windows98_imports.cpp)
endif()

# panel-host.exe: loads a module file and drives it, with the same modes
# as on Linux (cmake/PanelHost.cmake), its window drawn with GDI;
# VORNAK_TOWS.gau sits beside it, where it looks by default. zlib is linked
# in whole (its static library), for the PNG pictures.
include(PanelHost)
find_library(vornak_zlib NAMES libz.a REQUIRED)
add_executable(panel-host ${vornak_panel_host_sources} ${vornak_panel_host_lib_sources}
  programs/panel-host/platform_win32.cpp programs/panel-host/window_gdi.cpp programs/panel-host/draw_gdi.cpp)
target_include_directories(panel-host PRIVATE "${CMAKE_BINARY_DIR}/generated")
target_link_libraries(panel-host PRIVATE hostsim module_file vornak_cli11 vornak_warnings ${vornak_zlib} gdi32)
target_link_options(panel-host PRIVATE -s)
if(vornak_arch STREQUAL "i686")
  target_sources(panel-host PRIVATE programs/windows98_imports.cpp)
  # The 32-bit build is the kit's preview (below): the same program, named,
  # helped and refused in a pilot's words (programs/panel-host/identity.h).
  target_compile_definitions(panel-host PRIVATE VORNAK_PREVIEW)
endif()

# VORNAK_TOWS-setup.exe: writes the gauge into a simulator's panel.cfg files.
# It must start on Windows 95 and 98, so it is built against the Windows NT 4
# / Internet Explorer 4 headers, which hide every later call, and links only
# the system DLLs those versions have. The pop-up window's picture, the
# panel face, sits beside it as VORNAK_TOWS.bmp, as in the kit.
add_executable(vornak_setup programs/setup/setup_main.cpp programs/setup/setup_dialog_win32.cpp
  programs/setup/setup_files_win32.cpp programs/setup/panel_read.cpp programs/setup/panel_rules.cpp
  programs/setup/panel_plan.cpp programs/setup/panel_check.cpp)
if(vornak_arch STREQUAL "i686")
  target_sources(vornak_setup PRIVATE programs/windows98_imports.cpp)
endif()
target_include_directories(vornak_setup PRIVATE "${PROJECT_SOURCE_DIR}")
target_compile_definitions(vornak_setup PRIVATE WINVER=0x0400 _WIN32_WINNT=0x0400
  _WIN32_IE=0x0400 __USE_MINGW_ANSI_STDIO=0 VORNAK_VERSION="${PROJECT_VERSION}")
target_compile_options(vornak_setup PRIVATE -fno-exceptions -fno-rtti)
target_link_options(vornak_setup PRIVATE -s -mconsole)
target_link_libraries(vornak_setup PRIVATE vornak_warnings user32 gdi32 shell32)
set_target_properties(vornak_setup PROPERTIES OUTPUT_NAME VORNAK_TOWS-setup)
configure_file("${VORNAK_RESOURCE_DIR}/panel_face.bmp" "${CMAKE_CURRENT_BINARY_DIR}/VORNAK_TOWS.bmp"
  COPYONLY)
# For the setup program's tests: a program that holds a file open, as the
# running simulator holds the gauge. Not part of the kit.
add_executable(hold-file tests/windows/hold_file.cpp)
target_link_libraries(hold-file PRIVATE vornak_warnings)

# The release kit: the 32-bit module, the setup program, the preview, the
# pop-up window's picture, its install page and a picture of the panel, as a
# ZIP (cmake --build --preset win32 --target package).
if(vornak_arch STREQUAL "i686")
  install(TARGETS vornak_tows LIBRARY DESTINATION . RUNTIME DESTINATION .)
  install(TARGETS vornak_setup RUNTIME DESTINATION .)
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/VORNAK_TOWS.bmp" DESTINATION .)
  # The install page in CRLF, for the plain Windows editors, with the version.
  configure_file("${PROJECT_SOURCE_DIR}/packaging/INSTALL.txt"
    "${CMAKE_CURRENT_BINARY_DIR}/INSTALL.txt" @ONLY NEWLINE_STYLE CRLF)
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/INSTALL.txt" DESTINATION .)
  install(FILES docs/panel.png DESTINATION .)
  # The preview: panel-host.exe under the name a simulator user knows it by;
  # double-clicked beside the module it opens the gauge in a window.
  install(PROGRAMS $<TARGET_FILE:panel-host> DESTINATION . RENAME VORNAK_TOWS-preview.exe)
  set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/packaging/zip_dates.cmake")
  set(CPACK_VORNAK_SOURCE_DIR "${PROJECT_SOURCE_DIR}")
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME VORNAK_TOWS)
  set(CPACK_PACKAGE_VENDOR "VORNAK_TOWS developers")
  set(CPACK_PACKAGE_FILE_NAME "VORNAK_TOWS-${PROJECT_VERSION}-win32")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
endif()
