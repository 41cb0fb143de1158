// command_line.cpp - panel-host's command line (see command_line.h).
#include "programs/panel-host/command_line.h"

#include "host/gauge.h"
#include "host/gauge_names.h"
#include "hostsim/user_words.h"
#include "module_file/module_loader.h"
#include "programs/help_format.h"
#include "programs/panel-host/outputs.h"
#include "programs/panel-host/panel_draw.h"
#include "programs/panel-host/platform.h"
#include "sequencer/pushback.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <utility>
#include <vector>

namespace {

// A mistake on the command line, carried out of the parse to ReadCommandLine.
struct Refusal { std::string message; };
// The help or the version has been printed: nothing more to do.
struct Answered {};

[[noreturn]] void Fail(const std::string& message) { throw Refusal{message}; }

const char kVersion[] = VORNAK_HOST_NAME " 1.0";

// A mistake's line names it and where the help is, not the whole usage.
std::string SeeHelp(const std::string& mode) {
    return std::string("; see ") + kCommandName + (mode.empty() ? "" : " " + mode) + " --help";
}
const std::string kModes = kPreview ? "window or run" : "replay, run, window or reload";

// The preview's own words: what it is for a pilot, and what it cannot do.
const char kPreviewAbout[] =
    "VORNAK_TOWS preview - the VORNAK_TOWS gauge outside the simulator, to see and hear a pushback "
    "before you fly: double-clicked beside VORNAK_TOWS.gau it opens the panel in a window (the window "
    "mode); from a command prompt it also plays a whole pushback and prints what happens (the run mode).";
const char kPreviewFooter[] =
    "Exit status:\n"
    "  0  done (a run: the gauge reset after the pushback)\n"
    "  1  a run whose pushback did not finish within an hour of simulated time\n"
    "  2  a mistake on the command line, a gauge file that is missing or damaged,\n"
    "     or a file that cannot be written; one line says which\n"
    "  130  a run ended by Ctrl-C: its files hold the run until then\n"
    "\n"
    "Without a working sound card the crew cannot be heard; the gauge still runs\n"
    "and pushes.";

const char kFooter[] =
    "Exit status:\n"
    "  0  done (a run: the gauge reset after the pushback)\n"
    "  1  a run whose pushback did not finish within an hour of simulated time,\n"
    "     or a reload that left sound objects alive\n"
    "  2  a mistake on the command line, a script line that cannot be read, a\n"
    "     module that cannot be loaded, or a file that cannot be written; one\n"
    "     line on stderr says which, and nothing has run (or, for output that\n"
    "     cannot be written, the run stopped there)\n"
    "  130  a run ended by Ctrl-C (143 SIGTERM, 129 SIGHUP): its files hold the\n"
    "     run until then\n"
    "\n"
    "Without a sound device the crew cannot be heard, and one line on stderr says\n"
    "so; the hints and the timeline then follow the gauge's own schedule. On\n"
    "OpenAL's null output (no sound card) the clips still start and the timeline\n"
    "shows them; where no sound device opens at all, none start.";

// A bound as help and messages say it: 3600, 0.1, 100000.
std::string Bound(double n) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", n);
    return text;
}

// A decimal number (user_words.h), fractions too.
bool ParseDouble(const std::string& text, double* value) { return ReadDecimal(text, value) == NumberRead::kNumber; }

// A value check with our own words; CLI11 puts the option's name before it.
CLI::Validator Check(const std::string& what, bool (*ok)(const std::string&)) {
    return CLI::Validator(
        [what, ok](std::string& text) { return ok(text) ? std::string() : what + ", not " + QuoteWord(text); },
        "", "");
}

bool TimerOk(const std::string& t) {
    long long s;
    return ReadWhole(t, kTimerCap, &s) && s % kTimerStep == 0;
}
bool HeadingOk(const std::string& t) {
    double h;
    return ParseDouble(t, &h) && h >= 0.0 && h < 360.0;
}
bool AtOk(const std::string& t) {
    double s;
    return ParseDouble(t, &s) && s >= 0.0 && s <= kLongestRunSeconds;
}
bool SpeedOk(const std::string& t) {
    double n;
    return ParseDouble(t, &n) && n >= kSlowestSpeed && n <= kFastestSpeed;
}
bool CountOk(const std::string& t) {
    long long n;
    return ReadWhole(t, kMaxReloads, &n);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool EndsWith(const std::string& name, const char* extension) {
    const std::string low = Lower(name);
    const size_t n = std::strlen(extension);
    return low.size() > n && low.compare(low.size() - n, n, extension) == 0;
}

// A file a run is to write: a name with the right extension, in a folder
// that exists and can be written, and not itself a folder.
void CheckOutputFile(const char* option, const std::string& path, const char* extension, const char* kind) {
    if (path.empty()) Fail(std::string(option) + " needs a file name");
    if (!EndsWith(path, extension))
        Fail(std::string(option) + " writes " + kind + ": give a name ending in " + extension + ", not '" + path + "'");
    if (WhatIsAt(path) == PathHolds::kFolder) Fail(std::string(option) + ": " + path + " is a folder");
    const std::string folder = FolderOf(path);
    if (WhatIsAt(folder) != PathHolds::kFolder)
        Fail(std::string(option) + ": the folder " + folder + " does not exist");
    if (!FolderWritable(folder)) Fail(std::string(option) + ": the folder " + folder + " cannot be written");
}

void CheckOutputFolder(const char* option, const std::string& dir) {
    if (dir.empty()) Fail(std::string(option) + " needs a folder name");
    const PathHolds at = WhatIsAt(dir);
    if (at != PathHolds::kNothing) {
        if (at != PathHolds::kFolder) Fail(std::string(option) + ": " + dir + " is not a folder");
        if (!FolderWritable(dir)) Fail(std::string(option) + ": the folder " + dir + " cannot be written");
        return;
    }
    const std::string parent = FolderOf(dir, true);
    if (WhatIsAt(parent) != PathHolds::kFolder) Fail(std::string(option) + ": the folder " + parent + " does not exist");
    if (!FolderWritable(parent)) Fail(std::string(option) + ": the folder " + parent + " cannot be written");
}

// What CLI11 found, checked against the other options.
void CheckTogether(const PanelHostOptions& o) {
    if (o.at >= 0.0 && o.snapshot.empty()) Fail("--at needs --snapshot");
    if (o.mode == "replay" && o.script.empty()) Fail("replay needs a script file");
}

}  // namespace

void ShowProblem(const std::string& message) {
    // What the user typed comes back in the message: control bytes are
    // shown as \xNN and a very long message is cut, so it stays one line.
    const size_t kLongest = 600;
    std::string line;
    for (size_t i = 0; i < message.size() && line.size() < kLongest; ++i) {
        const unsigned char c = static_cast<unsigned char>(message[i]);
        if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            line += hex;
        } else {
            line += static_cast<char>(c);
        }
    }
    if (line.size() >= kLongest) line += "... (cut)";
    std::fflush(stdout);
    std::fprintf(stderr, VORNAK_HOST_NAME ": %s\n", line.c_str());
}

namespace {

// What CLI11 found wrong, said in our words: its own messages name its
// workings ("At Most 1 required but received 2"), not the user's mistake.
// The checks of the values (Check) are ours already.
std::string InOurWords(const CLI::ParseError& e, std::initializer_list<CLI::App*> modes) {
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ValidationError*>(&e)) return what;
    const size_t colon = what.find(": ");
    const std::string name = colon == std::string::npos ? "" : what.substr(0, colon);
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) && !name.empty()) {
        if (what.find(" received ") != std::string::npos) return name + " is given more than once: give it once";
        std::string type;
        for (CLI::App* mode : modes)
            if (const CLI::Option* opt = mode->get_option_no_throw(name); opt && mode->parsed())
                type = opt->get_type_name();
        if (what.find(" missing") != std::string::npos)
            return name + " needs a value" + (type.empty() ? "" : ", as in " + name + " " + type);
    }
    // A flag given a value: "Could not convert: --left = x".
    const size_t equals = what.find(" = ");
    if (dynamic_cast<const CLI::ConversionError*>(&e) && colon != std::string::npos && equals != std::string::npos)
        return what.substr(colon + 2, equals - colon - 2) + " takes no value, not " + QuoteWord(what.substr(equals + 3));
    return "the command line cannot be read as it stands";
}

PanelHostOptions ParseCommandLine(int argc, char** argv) {
    PanelHostOptions o;
    o.timer = kInitialTimer;
    std::string timer_text, heading_text, at_text, count_text, speed_text;
    bool left = false, right = false, window_flag = false;

    const std::string ticks = std::to_string(kTicksPerSecond), turn = std::to_string(kQuarterTurn);
    const std::string timers = "0 to " + std::to_string(kTimerCap) + " in steps of " + std::to_string(kTimerStep);
    CLI::App app(kPreview ? std::string(kPreviewAbout)
                          : "panel-host - the substitute panel host: loads the VORNAK_TOWS gauge module and "
                            "drives it, as the flight simulator would, " + ticks + " panel updates a second.",
                 kCommandName);
    app.formatter(std::make_shared<WrappingFormatter>());
    // A path such as /tmp/x.script is a file, not a Windows-style option
    // (CLI11 reads "/x" as one on Windows unless told otherwise).
    app.allow_windows_style_options(false);
    app.set_help_flag();
    app.set_help_all_flag("-h,--help", "show this help (every mode and option) and exit");
    app.set_version_flag("--version", kVersion, "show the version and exit");
    const std::string footer = kPreview ? kPreviewFooter : kFooter;
    app.footer(footer);
    app.allow_extras();
    // The default is said in the description: as a default it would fill
    // the options' column.
    app.add_option("--module", o.module,
                   kPreview ? "the gauge file to load (VORNAK_TOWS.gau beside the preview)"
                            : "the gauge module file to load (VORNAK_TOWS.so beside panel-host, .gau on Windows)")
        ->type_name("FILE");
    app.add_flag("--verbose", o.verbose,
                 kPreview ? "show the system's own messages about sound and the window"
                          : "let the sound and window libraries' own messages through");
    app.add_flag("--window", window_flag,
                 std::string("the same as the window mode: ") + kCommandName + " --window [--heading DEG] [--speed N]");

    CLI::App* replay = app.add_subcommand(
        "replay", "print the trace of a replay script, as gauge-replay does but without its 'play' lines: "
                  "the module's clips play on its own sound device");
    replay->add_option("SCRIPT", o.script, "the script file ('-' reads standard input)")->type_name("");
    replay->add_flag("--realtime", o.realtime, "keep to " + ticks + " updates a second, so the clips are heard as in the cockpit");

    CLI::App* run = app.add_subcommand(
        "run", "a whole pushback with a modelled aircraft and pilot; prints its timeline, line by line");
    run->add_flag("--left", left, "the tail swings left: the heading turns " + turn + " degrees up (default)");
    run->add_flag("--right", right, "the tail swings right: the heading turns " + turn + " degrees down");
    run->add_option("--timer", timer_text, "push time the pilot dials, in whole seconds, " + timers)
        ->type_name("S")
        ->default_str(std::to_string(kInitialTimer))
        ->check(Check("takes whole seconds from " + timers, TimerOk));
    run->add_option("--heading", heading_text, "the aircraft's heading at the start, in degrees, 0 to below 360")
        ->type_name("DEG")
        ->default_str("0")
        ->check(Check("takes degrees from 0 to below 360", HeadingOk));
    run->add_flag("--realtime", o.realtime, "keep to " + ticks + " updates a second (a run takes about 100 s)");
    CLI::Option* audio =
        run->add_option("--audio", o.audio, "record the module's sound to a WAV file (16-bit stereo, " + std::to_string(kAudioRate) + " Hz; the Linux module)")
            ->type_name("FILE.wav");
    run->add_option("--snapshot", o.snapshot, "write the panel (" + std::to_string(kPanelWidth) + " x " + std::to_string(kPanelHeight) +
                                         ") to a PNG file, at the end or --at")
        ->type_name("FILE.png");
    run->add_option("--at", at_text, "when the snapshot is taken, in seconds of simulated time, 0 to " + Bound(kLongestRunSeconds))
        ->type_name("S")
        ->check(Check("takes seconds from 0 to " + Bound(kLongestRunSeconds) + " (no run lasts longer)", AtOk));
    run->add_option("--frames", o.frames, "write the panel once a second, DIR/frame_0000.png on")
        ->type_name("DIR");
    run->add_option("--path", o.path, "write the aircraft's track seen from above (" + std::to_string(kTrackPictureSize) + " x " +
                                         std::to_string(kTrackPictureSize) + ") to a PNG file")
        ->type_name("FILE.png");

    CLI::App* window = app.add_subcommand(
        "window", "the panel in a window for a person to work, with a status strip, the crew's words and "
                  "the aircraft seen from above: click the buttons (hold minus or plus to repeat), B sets or "
                  "releases the parking brake, Left and Right (keypad 1 and 3) held turn the aircraft by hand "
                  "while the tug pushes, Esc quits");
    window->add_option("--heading", heading_text, "the aircraft's heading at the start, in degrees, 0 to below 360")
        ->type_name("DEG")
        ->default_str("0")
        ->check(Check("takes degrees from 0 to below 360", HeadingOk));
    window->add_option("--speed", speed_text,
                       "run N times as fast as real time: N x " + ticks + " updates a second, a held button repeating N times "
                       "as fast (the crew's calls still play at their own pace), " + Bound(kSlowestSpeed) + " to " +
                           Bound(kFastestSpeed))
        ->type_name("N")
        ->default_str("1")
        ->check(Check("takes a number from " + Bound(kSlowestSpeed) + " to " + Bound(kFastestSpeed) + " (times real time)", SpeedOk));

    CLI::App* reload = app.add_subcommand(
        "reload", "COUNT kill/initialise cycles; a module that tells its sound objects is checked for leaks");
    reload->add_option("COUNT", count_text, "how many cycles, 0 to " + Bound(kMaxReloads))
        ->type_name("")
        ->check(Check("takes a count from 0 to " + Bound(kMaxReloads), CountOk));

    for (CLI::App* sub : {replay, run, window, reload}) {
        sub->fallthrough();
        sub->allow_extras();
        // A mode's own help shows that mode, and says so.
        sub->set_help_all_flag();
        sub->set_help_flag("-h,--help", "show this help (the " + sub->get_name() + " mode) and exit");
        sub->footer("This is the " + sub->get_name() + " mode's help; " + kCommandName +
                    " --help shows every mode.\n\n" + footer);
    }
    // The preview's pilot has neither replay scripts nor a use for the leak
    // check, and its gauge plays to the sound card only: those stay out of
    // its help (they still work, as they do in panel-host).
    if (kPreview) {
        replay->group("");
        reload->group("");
        audio->group("");
    }
    app.require_subcommand(0, 1);

    // "--window" anywhere stands for the window mode, whose options may
    // follow it: it is read as the word "window" leading the arguments.
    std::vector<std::string> args;
    for (int i = argc - 1; i >= 1; --i) args.push_back(argv[i]);   // CLI11 takes them last first
    // Asked for the help as the system's own programs are.
    for (std::string& a : args)
        if (AsksForHelp(a)) a = "--help";
    if (std::count(args.begin(), args.end(), "--window") > 1) Fail("--window is given more than once: give it once");
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it != "--window") continue;
        for (const std::string& a : args)
            if (a == "replay" || a == "run" || a == "reload" || a == "window")
                Fail("--window cannot be combined with '" + a + "'");
        args.erase(it);
        args.push_back("window");
        break;
    }
    const std::vector<std::string> given = args;   // the parse uses them up
    try {
        app.parse(args);
    } catch (const CLI::CallForAllHelp&) {
        std::cout << app.help("", CLI::AppFormatMode::All);
        throw Answered{};
    } catch (const CLI::CallForHelp&) {
        for (CLI::App* sub : {replay, run, window, reload})
            if (sub->parsed()) std::cout << sub->help(kCommandName);
        throw Answered{};
    } catch (const CLI::CallForVersion&) {
        std::cout << kVersion << "\n";
        throw Answered{};
    } catch (const CLI::ParseError& e) {
        std::string mode;
        for (CLI::App* sub : {replay, run, window, reload})
            if (sub->parsed()) mode = sub->get_name();
        Fail(InOurWords(e, {replay, run, window, reload}) + SeeHelp(mode));
    }
    for (CLI::App* sub : {replay, run, window, reload})
        if (sub->parsed()) o.mode = sub->get_name();
    for (const std::string& extra : app.remaining(true)) {
        // An option of a mode given before its mode, or with none: where it goes.
        size_t extra_at = given.size(), mode_at = given.size(), dashes_at = given.size();
        for (size_t i = given.size(); i-- > 0;) {
            if (given[i] == extra && extra_at == given.size()) extra_at = i;
            if (given[i] == o.mode && mode_at == given.size()) mode_at = i;
            if (given[i] == "--" && dashes_at == given.size()) dashes_at = i;
        }
        if (extra == "--" && extra_at == dashes_at) continue;
        // After "--" every word is an argument, whatever it looks like.
        const bool after_dashes = dashes_at != given.size() && extra_at < dashes_at;
        const bool option = extra.size() > 1 && extra[0] == '-' && !after_dashes;
        // CLI11 holds the arguments last first: a larger index came earlier.
        if (option && (o.mode.empty() || extra_at > mode_at)) {
            std::string modes, first_mode;
            const CLI::Option* known = nullptr;
            for (CLI::App* sub : {replay, run, window, reload}) {
                const CLI::Option* opt = sub->get_option_no_throw(extra);
                if (opt == nullptr || (!o.mode.empty() && sub->get_name() != o.mode)) continue;
                modes += (modes.empty() ? "'" : " and '") + sub->get_name() + "'";
                if (known == nullptr) first_mode = sub->get_name();
                known = opt;
            }
            const std::string value = known && !known->get_type_name().empty() ? " " + known->get_type_name() : "";
            if (known)
                Fail(extra + " is an option of " + modes + ": give it after the mode, as in " +
                     std::string(kCommandName) + " " + first_mode + " " + extra + value);
        }
        Fail(std::string(option ? "unknown option " : "unexpected argument ") + QuoteWord(extra) +
             (o.mode.empty() ? "" : " for '" + o.mode + "'") + SeeHelp(o.mode));
    }
    if (o.mode.empty()) Fail("choose a mode: " + kModes + SeeHelp(""));
    if (o.mode == "replay" && o.script.empty()) Fail("replay needs a script file" + SeeHelp(o.mode));
    if (o.mode == "reload" && count_text.empty()) Fail("reload needs a count" + SeeHelp(o.mode));
    if (left && right) Fail("choose one of --left and --right");
    o.left = !right;
    o.side_given = left || right;
    long long whole = 0;
    if (!timer_text.empty() && ReadWhole(timer_text, kTimerCap, &whole)) o.timer = int32_t(whole);
    if (!count_text.empty() && ReadWhole(count_text, kMaxReloads, &whole)) o.reloads = long(whole);
    if (!heading_text.empty()) ParseDouble(heading_text, &o.heading);
    if (!speed_text.empty()) ParseDouble(speed_text, &o.speed);
    if (!at_text.empty()) ParseDouble(at_text, &o.at);
    if (app.count("--module") && o.module.empty()) Fail("--module needs a file");

    if (app.count("--module") == 0) o.module = DefaultModulePath();
    CheckTogether(o);
    if (kPreview && run->count("--audio"))
        Fail("--audio: the preview plays the gauge's sound on the sound card; it cannot record it to a file");
    if (run->count("--audio")) CheckOutputFile("--audio", o.audio, ".wav", "WAV sound");
    if (run->count("--snapshot")) CheckOutputFile("--snapshot", o.snapshot, ".png", "PNG pictures");
    if (run->count("--path")) CheckOutputFile("--path", o.path, ".png", "PNG pictures");
    if (run->count("--frames")) CheckOutputFolder("--frames", o.frames);
    return o;
}

}  // namespace

bool ReadCommandLine(int argc, char** argv, PanelHostOptions* o, int* status, std::string* problem) {
    try {
        *o = ParseCommandLine(argc, argv);
        return true;
    } catch (const Refusal& r) {
        *problem = r.message;
        *status = 2;
    } catch (const Answered&) {
        *status = 0;
    }
    return false;
}
