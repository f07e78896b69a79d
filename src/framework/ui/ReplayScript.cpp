#include "framework/ui/ReplayScript.h"

#include <array>
#include <charconv>

namespace fw {
namespace {

// Argument letters: c control id (a number, or `text` in the message box), d dialog id (a
// number, `main` or `message`), i integer, n integer from 0, b 0 or 1, k key name, a scroll
// action, f file; N and I optional n (from 1) and i; * the rest of the line; + any number of n.
struct StepSyntax {
    const char* name;
    const char* args;
    const char* usage;
};

constexpr std::array kSteps{
    StepSyntax{"type", "c*", "type ID TEXT"},
    StepSyntax{"press", "c", "press ID"},
    StepSyntax{"check", "cb", "check ID 0|1"},
    StepSyntax{"pick", "c*", "pick ID TEXT"},
    StepSyntax{"mark", "c+", "mark ID N..."},
    StepSyntax{"focus", "c", "focus ID"},
    StepSyntax{"key", "kN", "key NAME [COUNT]"},
    StepSyntax{"menu", "i", "menu ID"},
    StepSyntax{"click", "ii", "click X Y"},
    StepSyntax{"scroll", "aI", "scroll ACTION [POS]"},
    StepSyntax{"resize", "nn", "resize W H"},
    StepSyntax{"close", "", "close"},
    StepSyntax{"expect-dialog", "d", "expect-dialog ID"},
    StepSyntax{"expect", "c*", "expect ID TEXT"},
    StepSyntax{"expect-enabled", "cb", "expect-enabled ID 0|1"},
    StepSyntax{"expect-visible", "cb", "expect-visible ID 0|1"},
    StepSyntax{"expect-rows", "n", "expect-rows N"},
    StepSyntax{"expect-cell", "nn*", "expect-cell ROW COL TEXT"},
    StepSyntax{"save-text", "cf", "save-text ID FILE"},
    StepSyntax{"shot", "f", "shot FILE"},
};

constexpr std::array kScrollActions{"lineup", "linedown", "pageup", "pagedown",
                                    "top",    "bottom",   "thumb"};

const StepSyntax* findSyntax(std::string_view name) {
    for (const StepSyntax& syntax : kSteps) {
        if (name == syntax.name) {
            return &syntax;
        }
    }
    return nullptr;
}

bool isInt(std::string_view text, int minimum) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() &&
           value >= minimum;
}

bool isScrollAction(std::string_view text) {
    for (const char* action : kScrollActions) {
        if (text == action) {
            return true;
        }
    }
    return false;
}

bool validArg(char kind, std::string_view arg) {
    switch (kind) {
    case 'c':
        return arg == "text" || isInt(arg, 0);
    case 'd':
        return arg == "main" || arg == "message" || isInt(arg, 0);
    case 'i':
    case 'I':
        return isInt(arg, INT32_MIN);
    case 'n':
    case '+':
        return isInt(arg, 0);
    case 'N':
        return isInt(arg, 1);
    case 'b':
        return arg == "0" || arg == "1";
    case 'a':
        return isScrollAction(arg);
    default:
        return !arg.empty();
    }
}

std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
            out += text[i + 1] == 'n' ? "\r\n" : "\\";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string_view> splitSpaces(std::string_view text, std::size_t maxParts) {
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < maxParts) {
        const std::size_t space = text.find(' ');
        if (space == std::string_view::npos) {
            break;
        }
        parts.push_back(text.substr(0, space));
        text.remove_prefix(space + 1);
    }
    parts.push_back(text);
    return parts;
}

// Checks the arguments against the syntax and stores them; empty when they fit, else the reason.
std::string takeArgs(const StepSyntax& syntax, std::string_view rest,
                     std::vector<std::string>& args) {
    const std::string_view kinds = syntax.args;
    const bool hasRest = kinds.find('*') != std::string_view::npos;
    const bool many = kinds.find('+') != std::string_view::npos;
    // Only a text argument may hold spaces; elsewhere every space starts another argument.
    const std::size_t maxParts = hasRest ? kinds.size() : std::string_view::npos;
    std::vector<std::string_view> parts;
    if (!rest.empty() || hasRest) {
        parts = splitSpaces(rest, maxParts);
    }
    std::size_t required = 0;
    for (char kind : kinds) {
        required += (kind >= 'a' && kind <= 'z') ? 1 : 0;
    }
    if (hasRest && parts.size() + 1 == kinds.size()) {
        parts.push_back({}); // the text may be empty
    }
    if (parts.size() < required || (!many && parts.size() > kinds.size())) {
        return std::string("usage: ") + syntax.usage;
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const char kind = kinds[std::min(i, kinds.size() - 1)];
        if (kind == '*') {
            args.push_back(unescape(parts[i]));
            continue;
        }
        if (!validArg(kind, parts[i])) {
            return "bad argument \"" + std::string(parts[i]) + "\"";
        }
        args.emplace_back(parts[i]);
    }
    if (std::string_view(syntax.name) == "scroll" && args[0] == "thumb" && args.size() < 2) {
        return "scroll thumb needs a position";
    }
    return {};
}

std::string_view nextLine(std::string_view& script) {
    const std::size_t end = script.find('\n');
    std::string_view line = script.substr(0, end);
    script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

} // namespace

bool ParseReplayScript(std::string_view script, std::vector<ReplayStep>& steps,
                       std::string& error) {
    if (script.substr(0, 3) == "\xEF\xBB\xBF") {
        script.remove_prefix(3);
    }
    for (int number = 1; !script.empty(); ++number) {
        const std::string_view line = nextLine(script);
        if (line.empty() || line.front() == '#' ||
            line.find_first_not_of(" \t") == std::string_view::npos) {
            continue;
        }
        const std::size_t space = line.find(' ');
        const std::string_view name = line.substr(0, space);
        const std::string_view rest =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        const StepSyntax* syntax = findSyntax(name);
        ReplayStep step{number, std::string(name), {}};
        const std::string reason = syntax ? takeArgs(*syntax, rest, step.args)
                                          : "unknown step \"" + std::string(name) + "\"";
        if (!reason.empty()) {
            error = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
        steps.push_back(std::move(step));
    }
    return true;
}

} // namespace fw
