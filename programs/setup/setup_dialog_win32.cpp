// setup_dialog_win32.cpp - the setup program's window: the simulator's
// folder, its aircraft panels, where the gauge goes, the lines that will be
// added, Install and Remove, and one result line per panel.
//
// Plain USER32 controls in a window of its own class, laid out by hand in
// the dialog font; every action goes through setup_files.h, the same calls
// the command line makes. The preview is install's dry run for each chosen
// panel, with check's findings on the file, redone whenever the choice or a
// digit of X, Y changes, so what it shows is exactly what Install writes or
// why it would refuse.
#include "programs/setup/setup_dialog.h"

#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "programs/setup/setup_files.h"

namespace {

enum ControlId {
    kFolderEdit = 101, kBrowse, kFind, kPanelList, kPopup, kMain, kMainX, kMainY,
    kPreview, kInstall, kRemove, kClose, kResults,
};

struct Control {
    const char* window_class;
    const char* text;
    int id;
    DWORD style;
    int x, y, width, height;
};

const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kReadOnlyText = kChild | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                            ES_AUTOVSCROLL;

const Control kControls[] = {
    {"STATIC", "Simulator folder (the one that holds Gauges and Aircraft):", 0, kChild, 10, 10, 460, 16},
    {"EDIT", "", kFolderEdit, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 10, 28, 400, 22},
    {"BUTTON", "Browse...", kBrowse, kChild | WS_TABSTOP, 416, 27, 80, 24},
    {"BUTTON", "Find panels", kFind, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 502, 27, 88, 24},
    {"STATIC", "Aircraft panels (choose one or more):", 0, kChild, 10, 60, 460, 16},
    {"LISTBOX", "", kPanelList, kChild | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_EXTENDEDSEL |
     LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 10, 78, 580, 110},
    {"BUTTON", "Pop-up window (Shift+N)", kPopup, kChild | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON,
     10, 196, 200, 20},
    {"BUTTON", "On the main panel at X, Y:", kMain, kChild | BS_AUTORADIOBUTTON, 220, 196, 190, 20},
    {"EDIT", "0", kMainX, kChild | WS_BORDER | WS_TABSTOP | WS_GROUP | ES_NUMBER, 414, 195, 50, 22},
    {"EDIT", "0", kMainY, kChild | WS_BORDER | WS_TABSTOP | ES_NUMBER, 470, 195, 50, 22},
    {"STATIC", "Lines that Install adds, and the key that opens the gauge:", 0, kChild, 10, 226, 460, 16},
    {"EDIT", "", kPreview, kReadOnlyText, 10, 244, 580, 130},
    {"BUTTON", "Install", kInstall, kChild | WS_TABSTOP, 10, 382, 90, 26},
    {"BUTTON", "Remove", kRemove, kChild | WS_TABSTOP, 106, 382, 90, 26},
    {"BUTTON", "Close", kClose, kChild | WS_TABSTOP, 500, 382, 90, 26},
    {"STATIC", "Results:", 0, kChild, 10, 416, 460, 16},
    {"EDIT", "", kResults, kReadOnlyText, 10, 434, 580, 80},
};

struct DialogState {
    HWND window;
    std::vector<AircraftPanel> panels;
    bool filling;   // X, Y being set by the preview itself: no second preview
};

DialogState dialog;

HWND Item(int id) { return GetDlgItem(dialog.window, id); }

std::string TextOf(int id) {
    char text[MAX_PATH + 1];
    GetWindowTextA(Item(id), text, sizeof text);
    return text;
}

// Edit controls want CRLF.
void SetText(int id, const std::string& lf_text) {
    std::string text;
    for (char c : lf_text) {
        if (c == '\n') text += '\r';
        text += c;
    }
    SetWindowTextA(Item(id), text.c_str());
}

std::vector<int> ChosenPanels() {
    std::vector<int> chosen;
    int count = static_cast<int>(SendMessageA(Item(kPanelList), LB_GETSELCOUNT, 0, 0));
    if (count <= 0) return chosen;
    chosen.resize(count);
    SendMessageA(Item(kPanelList), LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(&chosen[0]));
    return chosen;
}

SetupRequest Request(const AircraftPanel& panel, bool dry_run) {
    SetupRequest request = {};
    request.simdir = PathFromShown(TextOf(kFolderEdit));
    request.panel = panel.path;
    request.placement.main_panel = SendMessageA(Item(kMain), BM_GETCHECK, 0, 0) == BST_CHECKED;
    request.placement.x = std::atoi(TextOf(kMainX).c_str());
    request.placement.y = std::atoi(TextOf(kMainY).c_str());
    request.dry_run = dry_run;
    return request;
}

void SetNumber(int id, int value) {
    char text[16];
    _snprintf(text, sizeof text - 1, "%d", value);
    text[sizeof text - 1] = '\0';
    SetWindowTextA(Item(id), text);
}

void ShowPreview() {
    if (dialog.filling) return;
    std::string text;
    std::vector<int> chosen = ChosenPanels();
    for (int index : chosen) {
        const AircraftPanel& panel = dialog.panels[index];
        SetupResult plan = InstallPanel(Request(panel, true));
        // A pop-up the simulator cannot reach, where the main panel can:
        // the place its refusal names is filled in, one choice away.
        if (plan.route.main_panel && chosen.size() == 1) {
            dialog.filling = true;
            SetNumber(kMainX, plan.route.x);
            SetNumber(kMainY, plan.route.y);
            dialog.filling = false;
        }
        text += PathShown(panel.relative) + ":\n";
        // What check finds in the file, so that a fault is seen before
        // Install is pressed and not only in its result.
        SetupResult check = CheckPanelFile(panel.path);
        for (size_t at = 0; at < check.added.size(); ) {
            size_t end = check.added.find('\n', at);
            text += "    note: " + check.added.substr(at, end - at) + "\n";
            at = end + 1;
        }
        if (plan.added.empty()) {
            text += "    " + plan.line + "\n";
            continue;
        }
        text += "    opened with " + plan.key + "\n";
        size_t at = 0;
        while (at < plan.added.size()) {
            size_t end = plan.added.find('\n', at);
            text += "    " + plan.added.substr(at, end - at) + "\n";
            at = end + 1;
        }
    }
    SetText(kPreview, text.empty() ? std::string("Choose one or more panels above.") : text);
}

void FindPanelsNow() {
    SendMessageA(Item(kPanelList), LB_RESETCONTENT, 0, 0);
    std::string folder = PathFromShown(TextOf(kFolderEdit));
    std::string problem = SimulatorFolderProblem(folder);
    dialog.panels.clear();
    int skipped = 0;
    if (problem.empty()) dialog.panels = FindPanels(folder, &skipped);
    for (const AircraftPanel& panel : dialog.panels) {
        std::string line = PathShown(panel.aircraft);
        if (!panel.title.empty() && panel.title != panel.aircraft) line += " - " + panel.title;
        line += "   (" + PathShown(panel.relative) + ")";
        SendMessageA(Item(kPanelList), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    if (problem.empty() && dialog.panels.empty())
        problem = "No aircraft panel (Aircraft\\*\\Panel*\\panel.cfg) was found in " + PathShown(folder) + ".";
    if (skipped > 0) {
        char line[160];
        _snprintf(line, sizeof line - 1, "%d aircraft folders are left out: their names have letters "
                  "that this Windows cannot open; rename them to list them.", skipped);
        line[sizeof line - 1] = '\0';
        if (!problem.empty()) problem += '\n';
        problem += line;
    }
    SetText(kResults, problem);
    ShowPreview();
}

void Browse() {
    char path[MAX_PATH] = "";
    BROWSEINFOA info = {};
    info.hwndOwner = dialog.window;
    info.pszDisplayName = path;
    info.lpszTitle = "Choose the simulator's folder (it holds Gauges and Aircraft):";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    if (chosen == nullptr) return;
    bool got = SHGetPathFromIDListA(chosen, path);
    IMalloc* memory = nullptr;
    if (SUCCEEDED(SHGetMalloc(&memory))) {
        memory->Free(chosen);
        memory->Release();
    }
    if (!got) return;
    SetWindowTextA(Item(kFolderEdit), path);
    FindPanelsNow();
}

bool AskReplace(const std::string& gauges, void*) {
    std::string question = "A different " VORNAK_GAUGE_NAME ".gau is already in " + PathShown(gauges) +
                           ".\r\nReplace it? The old one is kept as " VORNAK_GAUGE_NAME ".gau.bak.";
    return MessageBoxA(dialog.window, question.c_str(), VORNAK_GAUGE_NAME " setup",
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void Act(bool install) {
    std::vector<int> chosen = ChosenPanels();
    if (chosen.empty()) {
        SetText(kResults, "Choose one or more panels first.");
        return;
    }
    std::string results;
    for (int index : chosen) {
        const AircraftPanel& panel = dialog.panels[index];
        SetupRequest request = Request(panel, false);
        request.ask = AskReplace;
        SetupResult result = install ? InstallPanel(request) : RemovePanel(request);
        results += PathShown(panel.aircraft) + ": " + result.line + "\n";
    }
    SetText(kResults, results);
    ShowPreview();
}

void Create(HWND window) {
    dialog.window = window;
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HFONT fixed = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    for (const Control& c : kControls) {
        HWND item = CreateWindowExA(c.window_class[0] == 'E' || c.window_class[0] == 'L'
                                        ? WS_EX_CLIENTEDGE : 0,
                                    c.window_class, c.text, c.style, c.x, c.y, c.width, c.height,
                                    window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                    instance, nullptr);
        bool monospace = c.id == kPreview;
        SendMessageA(item, WM_SETFONT, reinterpret_cast<WPARAM>(monospace ? fixed : font), 0);
    }
    SendMessageA(Item(kPopup), BM_SETCHECK, BST_CHECKED, 0);
    // A folder to start from: where the program was started, or where it is.
    std::string program = ProgramFolder();
    char current[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(MAX_PATH, current);
    std::string parent = program.substr(0, program.find_last_of("\\", program.size() - 2));
    for (const std::string& folder : {PathFromShown(current), program, parent})
        if (SimulatorFolderProblem(folder).empty()) {
            SetWindowTextA(Item(kFolderEdit), PathShown(folder).c_str());
            FindPanelsNow();
            return;
        }
    ShowPreview();
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_CREATE:
        Create(window);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(w)) {
        case kBrowse: Browse(); return 0;
        case kFind: case IDOK: FindPanelsNow(); return 0;
        case kInstall: Act(true); return 0;
        case kRemove: Act(false); return 0;
        case kClose: case IDCANCEL: DestroyWindow(window); return 0;
        case kPanelList:
            if (HIWORD(w) == LBN_SELCHANGE) ShowPreview();
            return 0;
        case kPopup: case kMain:
            if (HIWORD(w) == BN_CLICKED) ShowPreview();
            return 0;
        case kMainX: case kMainY:
            if (HIWORD(w) == EN_CHANGE) ShowPreview();
            return 0;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, w, l);
}

}  // namespace

HWND OpenSetupDialog(HINSTANCE instance) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = Procedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = "VornakTowsSetup";
    if (!RegisterClassA(&window_class)) return nullptr;
    RECT area = {0, 0, 600, 524};
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&area, style, FALSE);
    return CreateWindowExA(0, "VornakTowsSetup", VORNAK_GAUGE_NAME " setup", style, CW_USEDEFAULT,
                           CW_USEDEFAULT, area.right - area.left, area.bottom - area.top, nullptr,
                           nullptr, instance, nullptr);
}

int RunSetupDialog(HWND window) {
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
