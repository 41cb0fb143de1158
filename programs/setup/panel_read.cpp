// panel_read.cpp - a panel.cfg read as lines of bytes, as the simulator
// reads it.
//
// A line is its bytes up to and including LF; its content ends before a CR
// that comes just before the LF. Lines are classed by their first
// non-blank bytes (after a UTF-8 byte-order mark on the first line): "//"
// or ";" a comment, "[" a section header, otherwise a key if it holds "=";
// anything else (a wrapped comment) is passed over. Names and keys compare
// without regard to case and to blanks around them, as the simulator reads
// them; a value ends before a "//" or ";" comment.
#include "programs/setup/panel_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace cfg {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// Formats with the C library's own vsnprintf; on Windows that is msvcrt's
// _vsnprintf, because MinGW's replacement for it brings in imports that
// Windows 98 lacks. Nothing formatted here comes near the buffer's size.
std::string Format(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
#ifdef _WIN32
    _vsnprintf(text, sizeof text - 1, format, args);
#else
    vsnprintf(text, sizeof text - 1, format, args);
#endif
    va_end(args);
    text[sizeof text - 1] = '\0';
    return text;
}

// Trims [begin, end) of the file and returns the trimmed start.
size_t Trim(const std::string& bytes, size_t begin, size_t* end) {
    while (begin < *end && IsBlank(bytes[begin])) ++begin;
    while (*end > begin && IsBlank(bytes[*end - 1])) --*end;
    return begin;
}

// Splits a name such as "Window07" or "gauge12" into its letters and number.
// The simulator asks for "Window%02d", so a number counts only when it is
// written that way: "gauge7" and "gauge007" are no gauge line.
void SplitNumber(Line* line, size_t name_at) {
    const std::string& name = line->name;
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    line->number = -1;
    line->stem.clear();
    size_t count = name.size() - digits;
    if (count < 2 || count > 3 || digits == 0 || (count == 3 && name[digits] == '0')) return;
    for (size_t i = 0; i < digits; ++i) {
        char c = Lower(name[i]);
        if (c < 'a' || c > 'z') return;
        line->stem += c;
    }
    line->number = std::atoi(name.c_str() + digits);
    line->digits_at = name_at + digits;
    line->digits_length = count;
}

void ReadLine(const std::string& bytes, size_t from, Line* line) {
    size_t end = line->content_end;
    size_t at = Trim(bytes, from, &end);
    line->kind = kOther;
    line->number = -1;
    if (at == end) {
        line->kind = kBlank;
    } else if (bytes.compare(at, 2, "//") == 0 || bytes[at] == ';') {
        line->kind = kComment;
    } else if (bytes[at] == '[') {
        size_t close = bytes.find(']', at);
        size_t name_end = close < end ? close : end;
        size_t name_at = Trim(bytes, at + 1, &name_end);
        line->kind = kHeader;
        line->name = bytes.substr(name_at, name_end - name_at);
        SplitNumber(line, name_at);
    } else {
        size_t equals = bytes.find('=', at);
        if (equals >= end) return;
        size_t key_end = equals;
        size_t key_at = Trim(bytes, at, &key_end);
        size_t value_end = end;
        for (size_t i = equals + 1; i < end; ++i)
            if (bytes[i] == ';' || bytes.compare(i, 2, "//") == 0) { value_end = i; break; }
        size_t value_at = Trim(bytes, equals + 1, &value_end);
        line->kind = kKey;
        line->name = bytes.substr(key_at, key_end - key_at);
        line->value = bytes.substr(value_at, value_end - value_at);
        SplitNumber(line, key_at);
    }
}

const char kNotText[] = "This file is not a text file, so it is not a panel.cfg.";

std::string Unreadable(const std::string& bytes) {
    std::string size = PanelSizeProblem(bytes.size());
    if (!size.empty()) return size;
    if (bytes.find('\0') != std::string::npos) return kNotText;
    // The simulator ends a line at LF: lines ending in CR alone (an old Mac
    // file) are one line to it, whatever they show in an editor. A CR before
    // another CR is only a stray one at the end of a line.
    for (size_t cr = bytes.find('\r'); cr != std::string::npos; cr = bytes.find('\r', cr + 1))
        if (cr + 1 < bytes.size() && bytes[cr + 1] != '\n' && bytes[cr + 1] != '\r')
            return "The lines of this panel.cfg end in CR alone (an old Mac file), and the "
                   "simulator reads lines that end in LF or CR LF, so to it the file is one "
                   "line; save it with Windows line ends (CR LF) and try again.";
    return "";
}

bool Parse(const std::string& bytes, Panel* panel) {
    panel->bytes = &bytes;
    if (!Unreadable(bytes).empty()) return false;
    size_t first_lf = bytes.find('\n');
    panel->eol = first_lf != std::string::npos && first_lf > 0 && bytes[first_lf - 1] == '\r'
                     ? "\r\n" : first_lf == std::string::npos ? "\r\n" : "\n";
    size_t at = 0;
    while (at < bytes.size()) {
        Line line;
        line.begin = at;
        size_t lf = bytes.find('\n', at);
        line.end = lf == std::string::npos ? bytes.size() : lf + 1;
        line.content_end = lf == std::string::npos ? bytes.size() : lf;
        if (line.content_end > at && bytes[line.content_end - 1] == '\r') --line.content_end;
        size_t from = at == 0 && bytes.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : at;
        ReadLine(bytes, from < line.content_end ? from : line.content_end, &line);
        if (line.kind == kHeader) {
            if (!panel->sections.empty()) panel->sections.back().end = panel->lines.size();
            panel->sections.push_back({panel->lines.size(), 0});
        }
        panel->lines.push_back(line);
        at = line.end;
    }
    if (!panel->sections.empty()) panel->sections.back().end = panel->lines.size();
    return true;
}

}  // namespace cfg

using namespace cfg;

std::string PanelSizeProblem(size_t size) {
    if (size <= kLargestPanel) return "";
    return Format("This file is too large for a panel.cfg: it has %lu bytes, and a panel.cfg "
                  "has at most 1 MiB (%lu bytes).", static_cast<unsigned long>(size),
                  static_cast<unsigned long>(kLargestPanel));
}
