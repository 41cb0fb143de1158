// gauge-replay - runs a replay script against the gauge and prints the trace.
//
//   gauge-replay [-h|--help] [--version] SCRIPT     (SCRIPT '-' reads standard input)
//   (on Windows /? gives the help too)
//
// The gauge is linked in with the recording sound device and driven by the
// substitute host; the trace shows every event, every clip started and the
// display and lamps after every update (see hostsim/replay.h for both
// formats). The whole script is checked before it runs. Exit status: 0
// after the whole script, 2 for a bad argument or a script line that cannot
// be read (one line on stderr; nothing has run). On Windows the trace is
// written with LF line ends, the same bytes as on Linux.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "host/module.h"
#include "hostsim/hostsim.h"
#include "hostsim/replay.h"
#include "hostsim/user_words.h"
#include "programs/help_format.h"
#include "sound/clip.h"
#include "sound/device_recording.h"

namespace {

const char kUsage[] = "usage: gauge-replay SCRIPT   (SCRIPT '-' reads standard input; gauge-replay --help)";

[[noreturn]] void Fail(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "gauge-replay: %s\n", message.c_str());
    std::exit(2);
}

// The help or the version, printed; one that cannot be written (a full
// disk, a closed pipe) is said, not lost.
[[noreturn]] void Answer(const std::string& text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        Fail(std::string("cannot write to standard output") + (errno ? std::string(": ") + std::strerror(errno) : ""));
    std::exit(0);
}

void PrintPlay(void* buffer, void*) {
    if (const char* name = NameOfClip(buffer)) ReplayPrintPlay(name);
}

std::string ReadCommandLine(int argc, char** argv) {
    std::string script;
    CLI::App app("gauge-replay - runs a replay script against the VORNAK_TOWS gauge (linked in, with a "
                 "recording sound device) and prints the trace: every event, every clip started, and the "
                 "display and lamps after every update.",
                 "gauge-replay");
    app.formatter(std::make_shared<WrappingFormatter>());
    // A path such as /tmp/x.script is a file, not a Windows-style option
    // (CLI11 reads "/x" as one on Windows unless told otherwise).
    app.allow_windows_style_options(false);
    app.set_help_flag("-h,--help", "show this help and exit");
    app.set_version_flag("--version", "gauge-replay 1.0", "show the version and exit");
    app.add_option("SCRIPT", script, "the script file, '-' for standard input")->type_name("");
    // What CLI11 would refuse in its own words is refused below in panel-host's.
    app.allow_extras();
    app.footer(
        "Script, one command a line: " + ReplayScriptWords() + ". docs/replay.md in the source\n"
        "tree says what each does, what is refused, and every line of the trace.\n"
        "\n"
        "Exit status: 0 after the whole script; 2 for a bad argument, or a script line\n"
        "that cannot be read (checked before anything runs), with one line on stderr.");
#ifdef _WIN32
    // The help as Windows programs give it.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "/?") == 0) Answer(app.help());
#endif
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        Answer(app.help());
    } catch (const CLI::CallForVersion&) {
        Answer("gauge-replay 1.0\n");
    } catch (const CLI::ParseError& e) {
        // The one option that takes a value is ours; anything else CLI11
        // finds is a mistake in the arguments' shape.
        Fail(std::string(dynamic_cast<const CLI::ValidationError*>(&e) ? e.what() : "the arguments cannot be read") +
             "; " + kUsage);
    }
    // After "--" every word is an argument, whatever it looks like: CLI11
    // keeps the "--" itself among the words it did not take.
    bool after_dashes = false;
    for (const std::string& extra : app.remaining()) {
        if (extra == "--" && !after_dashes) {
            after_dashes = true;
            continue;
        }
        const bool option = extra.size() > 1 && extra[0] == '-' && !after_dashes;
        Fail(std::string(option ? "unknown option " : "unexpected argument ") + QuoteWord(extra) + "; " + kUsage);
    }
    if (script.empty()) Fail(std::string("a script is needed; ") + kUsage);
    return script;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // LF line ends, as on Linux: traces compare byte for byte.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    const std::string script = ReadCommandLine(argc, argv);
    std::string problem;
    FILE* in = OpenReplayScript(script, &problem);
    if (in == nullptr) Fail(problem);
    // A trace runs to two lines an update; write it in large blocks.
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 20);
    HostReset();
    ResetRecordingDevice();
    recording_control.on_play = PrintPlay;
    if (!HostAttach(&ImportTable, &Linkage)) Fail("the gauge's records are not usable");
    const int status = ReplayWholeScript(in, script, stdout, stderr, "gauge-replay");
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) Fail("cannot write the trace");
    return status;
}
