#include "framework/ui/ReplayScript.h"

#include "framework/ui/Window.h"

#include <array>
#include <charconv>
#include <utility>

namespace fw {
namespace {

// Argument letters: c control id (a number, or `text` in the message box), d dialog id (a
// number, `main`, `message`, `progress`, `print` or `print-preview`), i integer, n integer from 0,
// b 0 or 1, k key name, a scroll action, f file; N and I optional n (from 1) and i; * the rest of
// the line; + any number of n.
struct StepSyntax {
    const char* name;
    StepKind kind;
    const char* args;
    const char* usage;
};

constexpr std::array kSteps{
    StepSyntax{"type", StepKind::Type, "c*", "type ID TEXT"},
    StepSyntax{"press", StepKind::Press, "c", "press ID"},
    StepSyntax{"check", StepKind::Check, "cb", "check ID 0|1"},
    StepSyntax{"pick", StepKind::Pick, "c*", "pick ID TEXT"},
    StepSyntax{"mark", StepKind::Mark, "c+", "mark ID N..."},
    StepSyntax{"focus", StepKind::Focus, "c", "focus ID"},
    StepSyntax{"key", StepKind::Key, "kN", "key NAME [COUNT]"},
    StepSyntax{"menu", StepKind::Menu, "i", "menu ID"},
    StepSyntax{"click", StepKind::Click, "ii", "click X Y"},
    StepSyntax{"scroll", StepKind::Scroll, "aI", "scroll ACTION [POS]"},
    StepSyntax{"resize", StepKind::Resize, "nn", "resize W H"},
    StepSyntax{"close", StepKind::Close, "", "close"},
    StepSyntax{"expect-dialog", StepKind::ExpectDialog, "d", "expect-dialog ID"},
    StepSyntax{"expect", StepKind::Expect, "c*", "expect ID TEXT"},
    StepSyntax{"expect-enabled", StepKind::ExpectEnabled, "cb", "expect-enabled ID 0|1"},
    StepSyntax{"expect-visible", StepKind::ExpectVisible, "cb", "expect-visible ID 0|1"},
    StepSyntax{"expect-rows", StepKind::ExpectRows, "n", "expect-rows N"},
    StepSyntax{"expect-cell", StepKind::ExpectCell, "nn*", "expect-cell ROW COL TEXT"},
    StepSyntax{"save-text", StepKind::SaveText, "cf", "save-text ID FILE"},
    StepSyntax{"shot", StepKind::Shot, "f", "shot FILE"},
    StepSyntax{"print-pdf", StepKind::PrintPdf, "f", "print-pdf FILE"},
    StepSyntax{"wait-fifo", StepKind::WaitFifo, "f", "wait-fifo FILE"},
    StepSyntax{"wait-ms", StepKind::WaitMs, "n", "wait-ms N"},
    StepSyntax{"expect-status", StepKind::ExpectStatus, "*", "expect-status TEXT"},
    StepSyntax{"wait-progress", StepKind::WaitProgress, "", "wait-progress"},
};

constexpr std::array<std::pair<const char*, ScrollCode>, 7> kScrollActions{{
    {"lineup", kScrollLineUp},
    {"linedown", kScrollLineDown},
    {"pageup", kScrollPageUp},
    {"pagedown", kScrollPageDown},
    {"top", kScrollTop},
    {"bottom", kScrollBottom},
    {"thumb", kScrollThumbPosition},
}};

const StepSyntax* findSyntax(std::string_view name) {
    for (const StepSyntax& syntax : kSteps) {
        if (name == syntax.name) {
            return &syntax;
        }
    }
    return nullptr;
}

bool isInt(std::string_view text, int minimum, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() &&
           value >= minimum;
}

bool scrollAction(std::string_view text, int& value) {
    for (const auto& [name, code] : kScrollActions) {
        if (text == name) {
            value = code;
            return true;
        }
    }
    return false;
}

// Whether arg fits its kind; value receives what a number or scroll action stands for.
bool validArg(char kind, std::string_view arg, int& value) {
    value = 0;
    switch (kind) {
    case 'c':
        return arg == "text" || isInt(arg, 0, value);
    case 'd':
        return arg == "main" || arg == "message" || arg == "progress" || arg == "print" ||
               arg == "print-preview" || isInt(arg, 0, value);
    case 'i':
    case 'I':
        return isInt(arg, INT32_MIN, value);
    case 'n':
    case '+':
    case 'b':
        return isInt(arg, 0, value) && (kind != 'b' || arg == "0" || arg == "1");
    case 'N':
        return isInt(arg, 1, value);
    case 'a':
        return scrollAction(arg, value);
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
std::string takeArgs(const StepSyntax& syntax, std::string_view rest, ReplayStep& step) {
    std::vector<std::string>& args = step.args;
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
        int value = 0;
        if (kind == '*') {
            args.push_back(unescape(parts[i]));
        } else if (validArg(kind, parts[i], value)) {
            args.emplace_back(parts[i]);
        } else {
            return "bad argument \"" + std::string(parts[i]) + "\"";
        }
        step.values.push_back(value);
    }
    if (syntax.kind == StepKind::Scroll && step.values[0] == kScrollThumbPosition &&
        args.size() < 2) {
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
        ReplayStep step;
        step.line = number;
        step.name = std::string(name);
        std::string reason = "unknown step \"" + std::string(name) + "\"";
        if (syntax) {
            step.kind = syntax->kind;
            reason = takeArgs(*syntax, rest, step);
        }
        if (!reason.empty()) {
            error = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
        steps.push_back(std::move(step));
    }
    return true;
}

} // namespace fw
