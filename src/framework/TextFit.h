#pragma once
// Texts laid into widths that a font decides, as the printed list lays its columns and its head:
// columns share the width by what they hold, and a text too wide for its place is cut after a
// whole character and marked with "…", so that no reader takes a cut text for the whole one.
//
// The widths are in whatever unit the caller measures in; the measure is the font's.

#include "framework/String.h"

#include <functional>
#include <vector>

namespace fw {

// How wide text is drawn.
using TextMeasure = std::function<double(const CString& text)>;

// The bytes of the longest start of text that ends on a character boundary and, followed by
// tail, is no wider than width: 0 when not even the first character fits.
int FittingBytes(const CString& text, double width, const TextMeasure& measure,
                 const CString& tail = {});

// text itself when it fits width; else its longest start of whole characters followed by "…"
// that fits, and "…" alone when no character does.
CString FitText(const CString& text, double width, const TextMeasure& measure);

// text in lines no wider than width, broken after the last "、" that the line holds, else after
// its last space, else between any two characters; at most maxLines of them, the last one marked by
// FitText when text goes on beyond it. An empty text is one empty line.
std::vector<CString> WrapText(const CString& text, double width, const TextMeasure& measure,
                              int maxLines);

// The widths of columns sharing total, each wanting natural (its widest text with its gap).
// When all fit, the room left over goes to them in proportion to what they want. When not,
// every column that wants less than an even share of what the others leave keeps its width
// and the widest ones are narrowed to one common width: the fewest texts are cut, and those
// only where they are longest.
std::vector<double> ShareWidth(const std::vector<double>& natural, double total);

} // namespace fw
