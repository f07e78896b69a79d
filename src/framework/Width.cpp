#include "framework/Width.h"

#include "framework/Codec.h"

#include <array>
#include <cstdint>

namespace fw {
namespace {

struct FullWidthForm {
    std::uint16_t code; // lead * 256 + trail
    char ascii;
};

// The forms outside the runs of digits and letters, as the cp932 of Windows maps U+3000 and
// U+FF01 to U+FF5E; the double quote and the apostrophe have two codes each.
constexpr FullWidthForm kSigns[] = {
    {0x8140, ' '}, {0x8149, '!'}, {0xFA57, '"'},  {0xEEFC, '"'},  {0x8194, '#'}, {0x8190, '$'},
    {0x8193, '%'}, {0x8195, '&'}, {0xFA56, '\''}, {0xEEFB, '\''}, {0x8169, '('}, {0x816A, ')'},
    {0x8196, '*'}, {0x817B, '+'}, {0x8143, ','},  {0x817C, '-'},  {0x8144, '.'}, {0x815E, '/'},
    {0x8146, ':'}, {0x8147, ';'}, {0x8183, '<'},  {0x8181, '='},  {0x8184, '>'}, {0x8148, '?'},
    {0x8197, '@'}, {0x816D, '['}, {0x815F, '\\'}, {0x816E, ']'},  {0x814F, '^'}, {0x8151, '_'},
    {0x814D, '`'}, {0x816F, '{'}, {0x8162, '|'},  {0x8170, '}'},  {0x8160, '~'},
};

// By trail byte, for the lead bytes the signs use.
using TrailTable = std::array<char, 256>;

constexpr TrailTable signsWithLead(unsigned char lead) {
    TrailTable table{};
    for (const FullWidthForm& f : kSigns) {
        if (f.code >> 8 == lead) {
            table[f.code & 0xFF] = f.ascii;
        }
    }
    return table;
}

constexpr TrailTable kLead81 = signsWithLead(0x81);
constexpr TrailTable kLeadEE = signsWithLead(0xEE);
constexpr TrailTable kLeadFA = signsWithLead(0xFA);

// Where a character that folds could start: the lead bytes of all full-width forms.
constexpr bool mayFold(unsigned char lead) {
    return lead == 0x81 || lead == 0x82 || lead == 0xEE || lead == 0xFA;
}

} // namespace

char HalfWidthOf(unsigned char lead, unsigned char trail) {
    switch (lead) {
    case 0x81:
        return kLead81[trail];
    case 0x82:
        if (trail >= 0x4F && trail <= 0x58) {
            return char('0' + (trail - 0x4F));
        }
        if (trail >= 0x60 && trail <= 0x79) {
            return char('A' + (trail - 0x60));
        }
        if (trail >= 0x81 && trail <= 0x9A) {
            return char('a' + (trail - 0x81));
        }
        return 0;
    case 0xEE:
        return kLeadEE[trail];
    case 0xFA:
        return kLeadFA[trail];
    default:
        return 0;
    }
}

std::string_view FoldWidth(std::string_view text, std::string& buffer) {
    std::size_t i = 0;
    for (; i + 1 < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (mayFold(lead) && HalfWidthOf(lead, static_cast<unsigned char>(text[i + 1]))) {
            break;
        }
        i += IsLeadByte(lead) ? 1 : 0;
    }
    if (i + 1 >= text.size()) {
        return text;
    }
    buffer.assign(text.substr(0, i));
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const bool pair = IsLeadByte(lead) && i + 1 < text.size();
        const char half = pair ? HalfWidthOf(lead, static_cast<unsigned char>(text[i + 1])) : 0;
        if (half) {
            buffer += half;
        } else {
            buffer.append(text.substr(i, pair ? 2 : 1));
        }
        i += pair ? 2 : 1;
    }
    return buffer;
}

} // namespace fw
