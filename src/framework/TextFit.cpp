#include "framework/TextFit.h"

#include "framework/Codec.h"

#include <algorithm>

namespace fw {
namespace {

// The byte offset after each character, as LeftWhole counts them: a lead byte takes the next
// byte with it, and one standing last is a character of its own.
std::vector<int> characterEnds(std::string_view text) {
    std::vector<int> ends;
    for (std::size_t i = 0; i < text.size();) {
        const bool pair = IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
        i += pair ? 2 : 1;
        ends.push_back(int(i));
    }
    return ends;
}

const CString& ellipsis() {
    return "…"_sj;
}

// Where a line of the criteria is best broken: after its last "、", between two criteria, else
// after its last space; 0 when it has neither.
int breakAfter(const CString& line) {
    auto after = [&line](std::string_view mark) {
        int best = 0;
        for (int at = 0; (at = line.Find(mark, at)) >= 0; at += int(mark.size())) {
            best = at + int(mark.size());
        }
        return best;
    };
    const int comma = after("、"_sj.view());
    return comma > 0 ? comma : after(" ");
}

} // namespace

int FittingBytes(const CString& text, double width, const TextMeasure& measure,
                 const CString& tail) {
    const std::vector<int> ends = characterEnds(text.view());
    auto fits = [&](std::size_t count) {
        return measure(CString(text.data(), ends[count - 1]) + tail) <= width;
    };
    // A remark may run to tens of thousands of bytes while a column holds a few dozen: the
    // search doubles from the start and then halves, so it measures only about as much as
    // fits, never the whole text again and again.
    std::size_t good = 0;              // this many characters fit
    std::size_t bad = ends.size() + 1; // this many do not
    for (std::size_t probe = 1; probe < bad;) {
        if (!fits(probe)) {
            bad = probe;
        } else if ((good = probe) == ends.size()) {
            break;
        } else {
            probe = std::min(probe * 2, ends.size());
        }
    }
    while (bad - good > 1) {
        const std::size_t middle = good + (bad - good) / 2;
        (fits(middle) ? good : bad) = middle;
    }
    return good == 0 ? 0 : ends[good - 1];
}

CString FitText(const CString& text, double width, const TextMeasure& measure) {
    if (measure(text) <= width) {
        return text;
    }
    return text.Left(FittingBytes(text, width, measure, ellipsis())) + ellipsis();
}

std::vector<CString> WrapText(const CString& text, double width, const TextMeasure& measure,
                              int maxLines) {
    std::vector<CString> lines;
    CString rest = text;
    while (int(lines.size()) + 1 < maxLines && measure(rest) > width) {
        int bytes = FittingBytes(rest, width, measure);
        if (bytes == 0) {
            // A character wider than the line stands on a line of its own, so the text goes on.
            bytes = characterEnds(rest.view()).front();
        } else if (const int soft = breakAfter(rest.Left(bytes)); soft > 0) {
            bytes = soft;
        }
        lines.push_back(rest.Left(bytes));
        rest = rest.Mid(bytes);
    }
    lines.push_back(FitText(rest, width, measure));
    return lines;
}

std::vector<double> ShareWidth(const std::vector<double>& natural, double total) {
    const std::size_t n = natural.size();
    std::vector<double> widths(n, 0.0);
    if (n == 0 || total <= 0) {
        return widths;
    }
    std::vector<double> wanted(n);
    std::transform(natural.begin(), natural.end(), wanted.begin(),
                   [](double w) { return std::max(w, 0.0); });
    double sum = 0;
    for (double w : wanted) {
        sum += w;
    }
    if (sum <= 0) {
        std::fill(widths.begin(), widths.end(), total / double(n));
        return widths;
    }
    if (sum <= total) {
        for (std::size_t i = 0; i < n; ++i) {
            widths[i] = wanted[i] * total / sum;
        }
        return widths;
    }
    // The narrowest columns keep their width while each wants no more than an even share of
    // the room the columns not yet settled leave; the others share what remains evenly.
    std::vector<double> ascending = wanted;
    std::sort(ascending.begin(), ascending.end());
    double left = total;
    std::size_t unsettled = n;
    for (double w : ascending) {
        if (unsettled == 1 || w * double(unsettled) > left) {
            break;
        }
        left -= w;
        --unsettled;
    }
    const double common = left / double(unsettled);
    for (std::size_t i = 0; i < n; ++i) {
        widths[i] = std::min(wanted[i], common);
    }
    return widths;
}

} // namespace fw
