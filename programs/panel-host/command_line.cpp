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
}

// Every file and folder a run is to write, before anything runs. An option
// given empty is refused, so what CLI11 counted is asked, not the value.
void CheckOutputs(const CLI::App& run, const PanelHostOptions& o) {
    if (kPreview && run.count("--audio"))
        Fail("--audio: the preview plays the gauge's sound on the sound card; it cannot record it to a file");
    if (run.count("--audio")) CheckOutputFile("--audio", o.audio, ".wav", "WAV sound");
    if (run.count("--snapshot")) CheckOutputFile("--snapshot", o.snapshot, ".png", "PNG pictures");
    if (run.count("--path")) CheckOutputFile("--path", o.path, ".png", "PNG pictures");
    if (run.count("--frames")) CheckOutputFolder("--frames", o.frames);
}

}  // namespace

void ShowProblem(const std::string& message) {
    // What the user typed comes back in the message: control bytes, C1's
    // in UTF-8 too (a terminal may take U+009B for the start of a command),
    // are shown as \xNN and a very long message is cut, so it stays one line.
    const size_t kLongest = 600;
    std::string line;
    bool c1 = false;
    for (size_t i = 0; i < message.size() && line.size() < kLongest; ++i) {
        const unsigned char c = static_cast<unsigned char>(message[i]);
        const bool c1_lead = c == 0xC2 && i + 1 < message.size() && (message[i + 1] & 0xE0) == 0x80;
        if (c < 0x20 || c == 0x7F || c1_lead || c1) {
            c1 = c1_lead;
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

// The words CLI11 stores as given, read into numbers once it has checked them.
struct Given {
    std::string script, timer, heading, at, count, speed;
    bool left = false, right = false, window_flag = false;
};

void AddReplayOptions(CLI::App& replay, Given& g, PanelHostOptions& o) {
    const std::string ticks = std::to_string(kTicksPerSecond);
    replay.add_option("SCRIPT", g.script, "the script file ('-' reads standard input)")->type_name("");
    replay.add_flag("--realtime", o.realtime, "keep to " + ticks + " updates a second, so the clips are heard as in the cockpit");
}

// The run and the window both start the aircraft on a heading.
void AddHeadingOption(CLI::App& mode, Given& g) {
    mode.add_option("--heading", g.heading, "the aircraft's heading at the start, in degrees, 0 to below 360")
        ->type_name("DEG")
        ->default_str("0")
        ->check(Check("takes degrees from 0 to below 360", HeadingOk));
}

void AddRunOptions(CLI::App& run, Given& g, PanelHostOptions& o) {
    const std::string ticks = std::to_string(kTicksPerSecond), turn = std::to_string(kQuarterTurn);
    const std::string timers = "0 to " + std::to_string(kTimerCap) + " in steps of " + std::to_string(kTimerStep);
    run.add_flag("--left", g.left, "the tail swings left: the heading turns " + turn + " degrees up (default)");
    run.add_flag("--right", g.right, "the tail swings right: the heading turns " + turn + " degrees down");
    run.add_option("--timer", g.timer, "push time the pilot dials, in whole seconds, " + timers)
        ->type_name("S")
        ->default_str(std::to_string(kInitialTimer))
        ->check(Check("takes whole seconds from " + timers, TimerOk));
    AddHeadingOption(run, g);
    run.add_flag("--realtime", o.realtime, "keep to " + ticks + " updates a second (a run takes about 100 s)");
    CLI::Option* audio =
        run.add_option("--audio", o.audio, "record the module's sound to a WAV file (16-bit stereo, " + std::to_string(kAudioRate) + " Hz; the Linux module)")
            ->type_name("FILE.wav");
    // The preview's gauge plays to the sound card only: the option stays out
    // of its help (and is refused with a reason).
    if (kPreview) audio->group("");
    run.add_option("--snapshot", o.snapshot, "write the panel (" + std::to_string(kPanelWidth) + " x " + std::to_string(kPanelHeight) +
                                         ") to a PNG file, at the end or --at")
        ->type_name("FILE.png");
    run.add_option("--at", g.at, "when the snapshot is taken, in seconds of simulated time, 0 to " + Bound(kLongestRunSeconds))
        ->type_name("S")
        ->check(Check("takes seconds from 0 to " + Bound(kLongestRunSeconds) + " (no run lasts longer)", AtOk));
    run.add_option("--frames", o.frames, "write the panel once a second, DIR/frame_0000.png on")
        ->type_name("DIR");
    run.add_option("--path", o.path, "write the aircraft's track seen from above (" + std::to_string(kTrackPictureSize) + " x " +
                                         std::to_string(kTrackPictureSize) + ") to a PNG file")
        ->type_name("FILE.png");
}

void AddWindowOptions(CLI::App& window, Given& g, PanelHostOptions&) {
    const std::string ticks = std::to_string(kTicksPerSecond);
    AddHeadingOption(window, g);
    window.add_option("--speed", g.speed,
                      "run N times as fast as real time: N x " + ticks + " updates a second, a held button repeating N times "
                      "as fast (the crew's calls still play at their own pace), " + Bound(kSlowestSpeed) + " to " +
                          Bound(kFastestSpeed))
        ->type_name("N")
        ->default_str("1")
        ->check(Check("takes a number from " + Bound(kSlowestSpeed) + " to " + Bound(kFastestSpeed) + " (times real time)", SpeedOk));
}

void AddReloadOptions(CLI::App& reload, Given& g, PanelHostOptions&) {
    reload.add_option("COUNT", g.count, "how many cycles, 0 to " + Bound(kMaxReloads))
        ->type_name("")
        ->check(Check("takes a count from 0 to " + Bound(kMaxReloads), CountOk));
}

// The modes, in the order the help shows them. The preview's pilot has
// neither replay scripts nor a use for the leak check: those modes stay out
// of its help (they still work, as they do in panel-host), and its list of
// modes names the window, which a double-click opens, first.
struct Mode {
    const char* name;
    const char* about;                                             // its line in the help
    void (*add_options)(CLI::App& mode, Given& g, PanelHostOptions& o);
    std::string Given::*needs;                                     // the argument it cannot run without
    const char* needs_what;                                        // that argument, as its refusal names it
    int preview_place;                                             // 0: not in the preview's help
};
const Mode kModeTable[] = {
    {"replay",
     "print the trace of a replay script, as gauge-replay does but without its 'play' lines: "
     "the module's clips play on its own sound device",
     AddReplayOptions, &Given::script, "a script file", 0},
    {"run", "a whole pushback with a modelled aircraft and pilot; prints its timeline, line by line",
     AddRunOptions, nullptr, nullptr, 2},
    {"window",
     "the panel in a window for a person to work, with a status strip, the crew's words and "
     "the aircraft seen from above: click the buttons (hold minus or plus to repeat), B sets or "
     "releases the parking brake, Left and Right (keypad 1 and 3) held turn the aircraft by hand "
     "while the tug pushes, Esc quits",
     AddWindowOptions, nullptr, nullptr, 1},
    {"reload", "COUNT kill/initialise cycles; a module that tells its sound objects is checked for leaks",
     AddReloadOptions, &Given::count, "a count", 0},
};

bool IsModeName(const std::string& word) {
    for (const Mode& m : kModeTable)
        if (word == m.name) return true;
    return false;
}

// The modes a "choose a mode" line offers: "replay, run, window or reload".
std::string ModeChoices() {
    std::vector<const Mode*> offered;
    for (const Mode& m : kModeTable)
        if (!kPreview || m.preview_place > 0) offered.push_back(&m);
    if (kPreview)
        std::sort(offered.begin(), offered.end(),
                  [](const Mode* a, const Mode* b) { return a->preview_place < b->preview_place; });
    std::vector<std::string> names;
    for (const Mode* m : offered) names.push_back(m->name);
    return OneOf(names);
}

// The mode CLI11 has begun to read, or "" before any.
std::string ModeBegun(const CLI::App& app) {
    std::string mode;
    for (const Mode& m : kModeTable)
        if (app.get_subcommand(m.name)->parsed()) mode = m.name;
    return mode;
}

std::string About() {
    if (kPreview) return kPreviewAbout;
    return "panel-host - the substitute panel host: loads the VORNAK_TOWS gauge module and "
           "drives it, as the flight simulator would, " + std::to_string(kTicksPerSecond) + " panel updates a second.";
}

// Every option, mode and help line, bound to where its value goes.
void BuildOptions(CLI::App& app, Given& g, PanelHostOptions& o) {
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
    app.add_flag("--window", g.window_flag,
                 std::string("the same as the window mode: ") + kCommandName + " --window [--heading DEG] [--speed N]");
    for (const Mode& m : kModeTable) {
        CLI::App* mode = app.add_subcommand(m.name, m.about);
        m.add_options(*mode, g, o);
        mode->fallthrough();
        mode->allow_extras();
        // A mode's own help shows that mode, and says so.
        mode->set_help_all_flag();
        mode->set_help_flag("-h,--help", "show this help (the " + std::string(m.name) + " mode) and exit");
        mode->footer("This is the " + std::string(m.name) + " mode's help; " + kCommandName +
                     " --help shows every mode.\n\n" + footer);
        if (kPreview && m.preview_place == 0) mode->group("");
    }
    app.require_subcommand(0, 1);
}

// The arguments as CLI11 is to read them, last first. The system's own way
// of asking for help (/? on Windows) becomes --help, and "--window" anywhere
// stands for the window mode, whose options may follow it: it is read as the
// word "window" leading the arguments.
std::vector<std::string> RewriteArguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = argc - 1; i >= 1; --i) args.push_back(argv[i]);
    for (std::string& a : args)
        if (AsksForHelp(a)) a = "--help";
    if (std::count(args.begin(), args.end(), "--window") > 1) Fail("--window is given more than once: give it once");
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it != "--window") continue;
        for (const std::string& a : args)
            if (IsModeName(a)) Fail("--window cannot be combined with '" + a + "'");
        args.erase(it);
        args.push_back("window");
        break;
    }
    return args;
}

// What CLI11 found wrong, said in our words: its own messages name its
// workings ("At Most 1 required but received 2"), not the user's mistake.
// The checks of the values (Check) are ours already.
std::string InOurWords(const CLI::ParseError& e, const CLI::App& app) {
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ValidationError*>(&e)) return what;
    const size_t colon = what.find(": ");
    const std::string name = colon == std::string::npos ? "" : what.substr(0, colon);
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) && !name.empty()) {
        if (what.find(" received ") != std::string::npos) return name + " is given more than once: give it once";
        std::string type;
        for (const Mode& m : kModeTable) {
            const CLI::App* mode = app.get_subcommand(m.name);
            if (const CLI::Option* opt = mode->get_option_no_throw(name); opt && mode->parsed())
                type = opt->get_type_name();
        }
        if (what.find(" missing") != std::string::npos)
            return name + " needs a value" + (type.empty() ? "" : ", as in " + name + " " + type);
    }
    // A flag given a value: "Could not convert: --left = x".
    const size_t equals = what.find(" = ");
    if (dynamic_cast<const CLI::ConversionError*>(&e) && colon != std::string::npos && equals != std::string::npos)
        return what.substr(colon + 2, equals - colon - 2) + " takes no value, not " + QuoteWord(what.substr(equals + 3));
    return "the command line cannot be read as it stands";
}

// CLI11's parse, with the help or the version printed (Answered) and a
// mistake refused, naming the help of the mode it was found in.
void ParseOrAnswer(CLI::App& app, std::vector<std::string> args) {
    try {
        app.parse(args);
    } catch (const CLI::CallForAllHelp&) {
        std::cout << app.help("", CLI::AppFormatMode::All);
        throw Answered{};
    } catch (const CLI::CallForHelp&) {
        // Only a mode's -h asks for its own help; the whole help is CallForAllHelp.
        const std::string mode = ModeBegun(app);
        if (!mode.empty()) std::cout << app.get_subcommand(mode)->help(kCommandName);
        throw Answered{};
    } catch (const CLI::CallForVersion&) {
        std::cout << kVersion << "\n";
        throw Answered{};
    } catch (const CLI::ParseError& e) {
        Fail(InOurWords(e, app) + SeeHelp(ModeBegun(app)));
    }
}

// A word CLI11 left over refused, saying what it is: a mode's option given
// before its mode or with none (and where it goes), an unknown option or an
// argument no mode takes. `given` are the arguments as parsed, last first.
void ExplainLeftovers(const CLI::App& app, const std::vector<std::string>& given, const std::string& mode) {
    for (const std::string& extra : app.remaining(true)) {
        size_t extra_at = given.size(), mode_at = given.size(), dashes_at = given.size();
        for (size_t i = given.size(); i-- > 0;) {
            if (given[i] == extra && extra_at == given.size()) extra_at = i;
            if (given[i] == mode && mode_at == given.size()) mode_at = i;
            if (given[i] == "--" && dashes_at == given.size()) dashes_at = i;
        }
        if (extra == "--" && extra_at == dashes_at) continue;
        // After "--" every word is an argument, whatever it looks like.
        const bool after_dashes = dashes_at != given.size() && extra_at < dashes_at;
        const bool option = extra.size() > 1 && extra[0] == '-' && !after_dashes;
        // A larger index came earlier.
        if (option && (mode.empty() || extra_at > mode_at)) {
            std::string modes, first_mode;
            const CLI::Option* known = nullptr;
            for (const Mode& m : kModeTable) {
                const CLI::Option* opt = app.get_subcommand(m.name)->get_option_no_throw(extra);
                if (opt == nullptr || (!mode.empty() && m.name != mode)) continue;
                modes += (modes.empty() ? "'" : " and '") + std::string(m.name) + "'";
                if (known == nullptr) first_mode = m.name;
                known = opt;
            }
            const std::string value = known && !known->get_type_name().empty() ? " " + known->get_type_name() : "";
            if (known)
                Fail(extra + " is an option of " + modes + ": give it after the mode, as in " +
                     std::string(kCommandName) + " " + first_mode + " " + extra + value);
        }
        Fail(std::string(option ? "unknown option " : "unexpected argument ") + QuoteWord(extra) +
             (mode.empty() ? "" : " for '" + mode + "'") + SeeHelp(mode));
    }
}

// A mode chosen, with the argument it cannot run without.
void CheckModeNeeds(const std::string& mode, const Given& g) {
    if (mode.empty()) Fail("choose a mode: " + ModeChoices() + SeeHelp(""));
    for (const Mode& m : kModeTable)
        if (m.name == mode && m.needs && (g.*m.needs).empty())
            Fail(mode + " needs " + m.needs_what + SeeHelp(mode));
}

// The words CLI11 has checked, as the values the modes use; the module given,
// or the one beside the program.
void ConvertValues(const CLI::App& app, const Given& g, PanelHostOptions& o) {
    if (g.left && g.right) Fail("choose one of --left and --right");
    o.left = !g.right;
    o.side_given = g.left || g.right;
    o.script = g.script;
    long long whole = 0;
    if (!g.timer.empty() && ReadWhole(g.timer, kTimerCap, &whole)) o.timer = int32_t(whole);
    if (!g.count.empty() && ReadWhole(g.count, kMaxReloads, &whole)) o.reloads = long(whole);
    if (!g.heading.empty()) ParseDouble(g.heading, &o.heading);
    if (!g.speed.empty()) ParseDouble(g.speed, &o.speed);
    if (!g.at.empty()) ParseDouble(g.at, &o.at);
    if (app.count("--module") && o.module.empty()) Fail("--module needs a file");
    if (app.count("--module") == 0) o.module = DefaultModulePath();
}

PanelHostOptions ParseCommandLine(int argc, char** argv) {
    PanelHostOptions o;
    o.timer = kInitialTimer;
    Given g;
    CLI::App app(About(), kCommandName);
    BuildOptions(app, g, o);
    const std::vector<std::string> args = RewriteArguments(argc, argv);
    ParseOrAnswer(app, args);
    o.mode = ModeBegun(app);
    ExplainLeftovers(app, args, o.mode);
    CheckModeNeeds(o.mode, g);
    ConvertValues(app, g, o);
    CheckTogether(o);
    CheckOutputs(*app.get_subcommand("run"), o);
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
