// platform.h - what panel-host asks of the system it runs on, beside the
// module loader (module_file/module_loader.h), the window (window.h), the text
// (fonts.h) and the PNG files (png_files.h). platform_linux.cpp and
// platform_win32.cpp implement it; nothing else in panel-host knows which
// system it is on, nor how its paths are written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "module_file/module_loader.h"
#include "programs/panel-host/command_line.h"

// Puts standard output and error in the mode that writes LF line ends, as
// the command line is read (it may print the help).
void StartStandardStreams();
// Whether a start without arguments opens the window (a double-click on
// Windows), and a problem shown to the person there as well as on stderr.
bool WindowWithoutArguments();
void ShowProblemToPerson(const std::string& problem);

// Standard output's buffering: a trace at full speed in large blocks, a
// timeline line by line, so that it is read as it happens also from a file
// or a pipe.
void BufferOutput(bool whole_blocks);

// Chooses where the module's sound goes, before the module first starts
// its sound device. Returns a note to show once, as the first update runs
// (empty for none): by then every input has been checked.
std::string ChooseSoundOutput(const PanelHostOptions& o);

// The sound objects a module keeps alive, where it tells them.
struct SoundObjects {
    const char* system = "";       // "OpenAL", "DirectSound"
    int32_t     kinds = 0;
    const char* names[4] = {};     // "devices", "buffers", ...
    uint32_t    alive[4] = {};
    std::string made;              // what was made and released, where the device counts that
};
const char* SoundSystemName();
// False when the module does not tell.
bool CountSoundObjects(const LoadedModule& module, SoundObjects* out);

// The requests to stop a run: Ctrl-C, and on Linux SIGTERM (kill, timeout)
// and SIGHUP (the terminal closed). Caught from CatchStopRequests on, each
// one (a second one too) only marks the run to stop; StopAsked names the
// first one's signal, 0 for none. A reader of standard output that has gone
// makes the next write fail instead of ending the program.
// ReleaseStopRequests gives the signals back their earlier handling.
void CatchStopRequests();
int  StopAsked();
void ReleaseStopRequests();

// Seconds on a clock that only goes forward, and a sleep until it shows
// `when`.
double ClockSeconds();
void   SleepUntil(double when);

// One name for the file or folder `path` names, however it is written
// ("./x", "a/../x", a link, also one to a file not there yet; letter case
// on Windows). A path not there yet is named through its folder.
std::string FileIdentity(const std::string& path);
// Whether two paths name one file: the same FileIdentity, or, where both
// files are there, the same file on the disk (a hard link).
bool SameFile(const std::string& a, const std::string& b);

// Whether `arg` asks for the help the way the system's own programs are
// asked ("/?" on Windows).
bool AsksForHelp(const std::string& arg);

// Paths as the system writes them: parts apart by '/' on Linux; by '\\' or
// '/' on Windows, after an optional drive letter (C:).
// The folder a file name puts its file in ("." for a bare name). With
// `of_folder`, `path` names a folder whose trailing separators are ignored.
std::string FolderOf(const std::string& path, bool of_folder = false);
// `name` inside the folder `folder`.
std::string InFolder(const std::string& folder, const std::string& name);
// Whether the path `inner` lies inside the folder `folder`, both as
// FileIdentity names them.
bool InsideFolder(const std::string& inner, const std::string& folder);
// What is at `path`: nothing, a folder, or something else (a file).
enum class PathHolds { kNothing, kFolder, kOther };
PathHolds WhatIsAt(const std::string& path);
// Whether a file can be made in the folder `folder`.
bool FolderWritable(const std::string& folder);

// Makes a folder. False with the system's reason.
bool MakeFolder(const std::string& path, std::string* problem);
// Removes an empty folder. False when it cannot.
bool RemoveFolder(const std::string& path);
// The names of the files in a folder. False with the system's reason.
bool ListFolder(const std::string& path, std::vector<std::string>* names, std::string* problem);
