// user_words.cpp - a person's words as our messages show them (see
// user_words.h).
#include "hostsim/user_words.h"

#include <cstdint>
#include <cstdio>

namespace {

// How many bytes at `p` (`left` of them there) make one character a
// terminal shows as it is: 1 for printable ASCII, 2 to 4 for a whole UTF-8
// sequence in its shortest form of a character up to U+10FFFF that is no
// surrogate and no character below; 0 for anything else.
size_t ShownCharacter(const unsigned char* p, size_t left) {
    if (p[0] >= 0x20 && p[0] < 0x7F) return p[0] == '\\' || p[0] == '\'' ? 0 : 1;
    size_t length;
    uint32_t c;
    if (p[0] >= 0xC2 && p[0] <= 0xDF) {
        length = 2, c = p[0] & 0x1Fu;
    } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
        length = 3, c = p[0] & 0x0Fu;
    } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
        length = 4, c = p[0] & 0x07u;
    } else {
        return 0;
    }
    if (left < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        c = c << 6 | (p[i] & 0x3Fu);
    }
    const uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kShortest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    // C1 controls (a terminal may read U+009B as the start of a command);
    // spaces other than ASCII's, which would pass for a word's end; what
    // shows nothing: the soft hyphen, zero-width spaces and joiners,
    // direction marks, overrides and isolates, line and paragraph
    // separators, invisible operators, the byte-order mark, the
    // interlinear annotation marks; and the noncharacters.
    if (c <= 0xA0 || c == 0xAD || c == 0x1680 || (c >= 0x2000 && c <= 0x200F) ||
        (c >= 0x2028 && c <= 0x202F) || (c >= 0x205F && c <= 0x206F) || c == 0x3000 || c == 0xFEFF ||
        (c >= 0xFFF9 && c <= 0xFFFB) || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE)
        return 0;
    return length;
}

}  // namespace

std::string QuoteWord(const std::string& word) {
    const size_t kShown = 40;
    const auto* bytes = reinterpret_cast<const unsigned char*>(word.data());
    std::string q = "'";
    for (size_t i = 0; i < word.size() && i < kShown;) {
        const size_t length = ShownCharacter(bytes + i, word.size() - i);
        if (length == 0) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", bytes[i]);
            q += hex;
            ++i;
        } else {
            if (i + length > kShown) break;   // a character is shown whole or not at all
            q.append(word, i, length);
            i += length;
        }
    }
    q += "'";
    if (word.size() > kShown) q += " (cut, " + std::to_string(word.size()) + " bytes)";
    return q;
}

std::string Joined(const std::vector<std::string>& words, const char* between, const char* last) {
    std::string said;
    for (size_t i = 0; i < words.size(); ++i)
        said += (i == 0 ? "" : i + 1 == words.size() ? last : between) + words[i];
    return said;
}
