// help_format.h - our programs' --help, fitting a console of 80 columns:
// CLI11's layout with every description wrapped at word boundaries to at
// most 79, since a Windows console wraps a line that fills its width and
// the line end then leaves a blank line under it.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

const size_t kHelpWidth = 79;

// `text` wrapped at spaces to lines of at most `width` columns; its own
// line breaks are kept. A word longer than a line stays whole.
inline std::string WrapHelp(const std::string& text, size_t width) {
    std::string out, word;
    size_t column = 0;
    auto put_word = [&]() {
        if (word.empty()) return;
        if (column > 0 && column + 1 + word.size() > width) {
            out += '\n';
            column = 0;
        }
        if (column > 0) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        word.clear();
    };
    for (char c : text) {
        if (c == ' ' || c == '\n') put_word();
        if (c == '\n') {
            out += '\n';
            column = 0;
        } else if (c != ' ') {
            word += c;
        }
    }
    put_word();
    return out;
}

// CLI11's layout, every description wrapped to the width; a mode shown
// within the whole help is indented by two, so it is wrapped two shorter.
class WrappingFormatter : public CLI::Formatter {
  public:
    WrappingFormatter() { column_width(24); }

    std::string make_description(const CLI::App* app) const override {
        const std::string text = app->get_description();
        return text.empty() ? "" : WrapHelp(text, width_) + "\n";
    }

    std::string make_option_desc(const CLI::Option* opt) const override {
        return WrapHelp(CLI::Formatter::make_option_desc(opt), width_ - get_column_width());
    }

    std::string make_expanded(const CLI::App* sub) const override {
        width_ = kHelpWidth - 2;
        const std::string text = CLI::Formatter::make_expanded(sub);
        width_ = kHelpWidth;
        return text;
    }

  private:
    mutable size_t width_ = kHelpWidth;
};
