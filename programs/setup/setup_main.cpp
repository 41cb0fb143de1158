// VORNAK_TOWS-setup - puts the gauge into a simulator's aircraft panels and
// takes it out again.
//
//   VORNAK_TOWS-setup.exe                       the dialog
//   VORNAK_TOWS-setup.exe install SIMDIR PANELCFG [--main X Y] [--dry-run] [--force]
//   VORNAK_TOWS-setup.exe remove SIMDIR PANELCFG
//   VORNAK_TOWS-setup.exe check PANELCFG
//   VORNAK_TOWS-setup.exe --help | --version
//
// Exit status: 0 done (or nothing to do: already installed, not there, a
// file without faults), 1 refused with the reason on one line (a check
// that found faults lists them), 2 a mistake on the command line, with one
// line; nothing is written unless the status is 0.
//
// It is a console program, because Windows 95 and 98 give a windowed
// program no way to write to the prompt it was started from (AttachConsole
// came with Windows XP). Started without arguments, by a double-click, it
// lets go of the console Windows opened for it, which closes that window,
// and shows the dialog.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "programs/setup/setup_dialog.h"
#include "programs/setup/setup_files.h"

namespace {

const char kUsage[] =
    "usage: " VORNAK_GAUGE_NAME "-setup.exe install SIMDIR PANELCFG [--main X Y] [--dry-run]\n"
    "                                                      [--force]\n"
    "       " VORNAK_GAUGE_NAME "-setup.exe remove SIMDIR PANELCFG\n"
    "       " VORNAK_GAUGE_NAME "-setup.exe check PANELCFG\n"
    "       " VORNAK_GAUGE_NAME "-setup.exe --version\n"
    "       " VORNAK_GAUGE_NAME "-setup.exe            (no arguments: the dialog)\n"
    "install adds the gauge to the panel.cfg as a pop-up window (or with --main\n"
    "at X, Y on the main panel) and copies " VORNAK_GAUGE_NAME ".gau into SIMDIR\\Gauges;\n"
    "--dry-run shows the lines and writes nothing; --force replaces a different\n"
    VORNAK_GAUGE_NAME ".gau. remove takes out what install added; check says how the\n"
    "gauge is installed and names any fault in the file. Exit 0 done, 1 refused,\n"
    "2 a mistake.\n";

// Output is formatted by msvcrt's own _snprintf and written with fputs:
// MinGW's printf family would bring imports that Windows 98 lacks.
int Mistake(const char* format, const char* what = "") {
    char text[512];
    _snprintf(text, sizeof text - 1, format, what);
    text[sizeof text - 1] = '\0';
    std::fputs(VORNAK_GAUGE_NAME "-setup: ", stderr);
    std::fputs(text, stderr);
    std::fputs(" (" VORNAK_GAUGE_NAME "-setup.exe --help)\n", stderr);
    return kSetupMistake;
}

bool Whole(const char* text, int* value) {
    char* end = nullptr;
    long number = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || number < -100000 || number > 100000) return false;
    *value = static_cast<int>(number);
    return true;
}

// The console shows the OEM code page; paths and titles are in the ANSI one.
void Print(std::FILE* out, const std::string& prefix, std::string line) {
    if (!line.empty()) CharToOemBuffA(line.c_str(), &line[0], static_cast<DWORD>(line.size()));
    std::fputs((prefix + line + "\n").c_str(), out);
}

int Report(const SetupResult& result) {
    std::FILE* out = result.status == kSetupDone ? stdout : stderr;
    Print(out, "", result.line);
    size_t at = 0;
    while (at < result.added.size()) {
        size_t end = result.added.find('\n', at);
        Print(out, "    ", result.added.substr(at, end - at));
        at = end + 1;
    }
    return result.status;
}

int CommandLine(const std::vector<std::string>& arguments) {
    int argc = static_cast<int>(arguments.size());
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    const char* const* argv = pointers.data();
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "/?") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::fputs(VORNAK_GAUGE_NAME "-setup " VORNAK_VERSION "\n", stdout);
        return 0;
    }
    SetupRequest request = {};
    int at = 2;
    if (command == "check") {
        if (argc != 3) return Mistake("check takes one PANELCFG");
        return Report(CheckPanelFile(argv[2]));
    }
    if (command != "install" && command != "remove")
        return Mistake("unknown command '%s'; use install, remove or check", argv[1]);
    if (argc < 4) return Mistake("%s takes SIMDIR and PANELCFG", argv[1]);
    request.simdir = argv[at++];
    request.panel = argv[at++];
    for (; at < argc; ++at) {
        std::string option = argv[at];
        if (command == "install" && option == "--main") {
            if (at + 2 >= argc || !Whole(argv[at + 1], &request.placement.x) ||
                !Whole(argv[at + 2], &request.placement.y))
                return Mistake("--main takes two whole numbers X Y");
            request.placement.main_panel = true;
            at += 2;
        } else if (command == "install" && option == "--dry-run") {
            request.dry_run = true;
        } else if (command == "install" && option == "--force") {
            request.force = true;
        } else {
            return Mistake("unexpected '%s'", argv[at]);
        }
    }
    return Report(command == "install" ? InstallPanel(request) : RemovePanel(request));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        HWND dialog = OpenSetupDialog(GetModuleHandleA(nullptr));
        if (dialog == nullptr) {
            std::fputs(VORNAK_GAUGE_NAME "-setup: the dialog cannot open a window (is there no display?); "
                       "install, remove and check work without one (" VORNAK_GAUGE_NAME "-setup.exe --help)\n",
                       stderr);
            return 1;
        }
        FreeConsole();
        return RunSetupDialog(dialog);
    }
    return CommandLine(CommandArguments(argc, argv));
}
