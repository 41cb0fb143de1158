// replay.h - runs a replay script against the attached gauge and prints its
// trace.
//
// docs/replay.md describes both formats, the script's commands and what is
// refused, and every line of the trace; tests and tools read them byte for
// byte.
#pragma once

#include <cstdio>
#include <string>

// Runs the script read from `in` (named `source` in messages) against the
// gauge that HostAttach took; the gauge must be installed and initialised.
// The script is read as a stream, a line at most 4096 bytes and the whole
// at most 1 MiB (a UTF-8 byte-order mark before its first line is
// skipped), and all of it is checked before its first line runs. Returns
// 0, or 2 after one line on `err`: "SOURCE:LINE: what is wrong" for a line
// that cannot be read or a bound passed (words quoted, escaped and cut
// short), "PROGRAM: cannot read SOURCE: why" when reading fails; then
// nothing has run.
int RunReplay(FILE* in, const char* source, FILE* out, FILE* err, const char* program = nullptr);

// The script's commands in brief, its variables and buttons from the
// reader's own tables: "set hold|ready|heading VALUE (heading in degrees),"
// a line break, then "click left|right|minus|plus, tick [N], reload".
std::string ReplayScriptWords();

// Prints "U play NAME" to the trace in progress.
void ReplayPrintPlay(const char* name);

// Opens the replay script at `path` ("-" is standard input) for the hosts.
// Null, with what is wrong in `problem`, for a folder or a file that cannot
// be opened.
FILE* OpenReplayScript(const std::string& path, std::string* problem);

// Installs and initialises the attached gauge, runs the script `in` read
// from `path` (RunReplay, for the program named `program`), kills the
// gauge and closes `in`. Returns RunReplay's status.
int ReplayWholeScript(FILE* in, const std::string& path, FILE* out, FILE* err, const char* program);
