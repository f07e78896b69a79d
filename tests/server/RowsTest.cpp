// The registry's rows in PostgreSQL's binary COPY format and its texts between Shift-JIS and
// the server's UTF-8, without a server: each quick way against the plain way it stands for.

#include "server/Rows.h"
#include "framework/Codec.h"
#include "server/Registry.h"
#include "support/CaseBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// The plain test of a text for a UTF-8 column: converted (a NUL, which the server's texts
// cannot hold, shown as U+FFFD), converted back, compared.
bool plainRoundTrip(std::string_view cp932, std::string& utf8) {
    std::vector<std::string_view> undecodable;
    utf8 = fw::Cp932ToUtf8(cp932, &undecodable);
    bool exact = undecodable.empty();
    for (std::size_t at = utf8.find('\0'); at != std::string::npos; at = utf8.find('\0', at)) {
        utf8.replace(at, 1, "\xef\xbf\xbd");
        exact = false;
    }
    std::string back;
    return exact && fw::Utf8ToCp932(utf8, back) && back == cp932;
}

std::string hex(std::string_view bytes) {
    std::string out;
    char two[4];
    for (unsigned char b : bytes) {
        std::snprintf(two, sizeof two, "%02x ", b);
        out += two;
    }
    return out;
}

void expectLikePlain(std::string_view cp932) {
    std::string expected;
    const bool exact = plainRoundTrip(cp932, expected);
    std::string utf8 = "left over";
    EXPECT_EQ(server::TextToUtf8(cp932, utf8), exact) << hex(cp932);
    EXPECT_EQ(utf8, expected) << hex(cp932);
    // The table never says yes where the plain way says no.
    if (server::CharactersComeBack(cp932)) {
        EXPECT_TRUE(exact) << hex(cp932);
    }
}

// Texts that cross every limit of the quick test: runs of ASCII of each length around the
// eight bytes it takes at once, a NUL or a byte above 0x7F anywhere in them, double-byte
// characters across the eight-byte steps, a lead byte at the end or before a byte that
// cannot follow it, the duplicate codes (0x8790 and 0xED40 come back as 0x81E0 and 0xFA5C),
// bytes that are no character, half-width katakana, line breaks.
std::vector<std::string> awkwardTexts(std::size_t count, std::uint32_t seed) {
    const std::vector<std::string> pieces = {
        "\x82\xa0", "\x88\x9f", "\x93\xfa", "\xb1",     "\xdf",
        "\r\n",     "\x87\x90", "\xed\x40", "\xfa\x5c", "\x81\xe0",
        "\x87\x9a", "\x80",     "\xa0",     "\xfd",     "\xff",
        "\x81",     "\x81\x0a", "\x85\x40", "\xeb\xa0", "\xf0\x40",
        "\x81\x7f", "\x81\xfd", "~",        "\\",       std::string(1, '\0')};
    std::mt19937 rng(seed);
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < count; ++i) {
        std::string text;
        const int parts = int(rng() % 6);
        for (int p = 0; p < parts; ++p) {
            text.append(rng() % 18, char('a' + rng() % 26));
            text += pieces[rng() % pieces.size()];
        }
        text.append(rng() % 18, char('0' + rng() % 10));
        texts.push_back(text);
    }
    for (std::size_t run = 0; run <= 24; ++run) {
        for (std::size_t at = 0; at <= run; ++at) {
            for (const std::string& odd :
                 {std::string(1, '\0'), std::string("\x82\xa0"), std::string("\xb1"),
                  std::string("\x82"), std::string("\x87\x90")}) {
                std::string text(run, 'x');
                texts.push_back(text.insert(at, odd));
            }
        }
    }
    return texts;
}

TEST(ServerTexts, EachCodeComesBackByTheTableExactlyWhenItDoesByConvertingBack) {
    int changed = 0;
    for (unsigned b = 0; b < 256; ++b) {
        const std::string text(1, char(b));
        std::string utf8;
        const bool exact = plainRoundTrip(text, utf8);
        ASSERT_EQ(server::CharactersComeBack(text), exact) << hex(text);
        expectLikePlain(text);
        changed += exact ? 0 : 1;
    }
    for (unsigned lead = 0; lead < 256; ++lead) {
        for (unsigned trail = 0; trail < 256; ++trail) {
            const char code[] = {char(lead), char(trail)};
            const std::string_view text(code, 2);
            std::string utf8;
            const bool exact = plainRoundTrip(text, utf8);
            ASSERT_EQ(server::CharactersComeBack(text), exact) << hex(text);
            ASSERT_NO_FATAL_FAILURE(expectLikePlain(text));
            changed += exact ? 0 : 1;
        }
    }
    // The duplicate codes, a NUL and the bytes that are no character among them.
    EXPECT_FALSE(server::CharactersComeBack("\x87\x90"));
    EXPECT_FALSE(server::CharactersComeBack("\xed\x40"));
    EXPECT_TRUE(server::CharactersComeBack("\x81\xe0\xfa\x5c"));
    EXPECT_GT(changed, 1000);
}

TEST(ServerTexts, TextsConvertForTheServerAsThePlainRoundTripSays) {
    for (const std::string& text : awkwardTexts(20000, 3)) {
        ASSERT_NO_FATAL_FAILURE(expectLikePlain(text));
    }
    // The registry's ordinary texts take the quick way.
    std::mt19937 rng(4);
    for (int i = 0; i < 2000; ++i) {
        const CCaseRecord r =
            testing_support::RealisticCase(rng, testing_support::Spread::Everything);
        for (int slot = 0; slot < CCaseRecord::kTextSlotCount; ++slot) {
            const std::string_view text = r.TextView(CCaseRecord::TextSlot(slot));
            ASSERT_TRUE(server::CharactersComeBack(text)) << hex(text);
            ASSERT_NO_FATAL_FAILURE(expectLikePlain(text));
        }
    }
}

// A text written into a row is the field the plain conversion gives, converted in place.
TEST(ServerTexts, TextFieldsOfARowAreThoseOfThePlainConversion) {
    const std::vector<std::string> texts = awkwardTexts(3000, 5);
    server::CopyWriter quick;
    server::CopyWriter plain;
    std::vector<bool> exact;
    for (const std::string& text : texts) {
        quick.BeginRow(2);
        plain.BeginRow(2);
        exact.push_back(quick.Text(text));
        std::string utf8;
        EXPECT_EQ(exact.back(), plainRoundTrip(text, utf8)) << hex(text);
        plain.Bytes(utf8);
        quick.Int(7);
        plain.Int(7);
    }
    ASSERT_EQ(hex(quick.Buffer()), hex(plain.Buffer()));
}

// As the plain way: the whole text at once, else character by character with 〓 for each
// character that has no Shift-JIS form (and for each byte that is no UTF-8).
TEST(ServerTexts, TextsFromTheServerKeepWhatShiftJisHolds) {
    const struct {
        const char* utf8;
        const char* cp932;
        int replaced;
    } cases[] = {
        {"", "", 0},
        {"山田 ﾀﾛｳ\r\n", "\x8e\x52\x93\x63 \xc0\xdb\xb3\r\n", 0},
        {"a😀b",
         "a\x81\xac"
         "b",
         1},
        {"\xf3\xa0\x81\x81x", "\x81\xacx", 1}, // a language tag
        {"\x80x", "\x81\xacx", 1},             // no UTF-8
        {"a\xe3\x81", "a\x81\xac", 1},         // a character cut short
        {"≒😀😀", "\x81\xe0\x81\xac\x81\xac", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        std::string cp932 = "before";
        int replaced = 0;
        server::TextFromUtf8(c.utf8, cp932, replaced);
        EXPECT_EQ(hex(cp932), hex(c.cp932));
        EXPECT_EQ(replaced, c.replaced);
        std::string appended = "AB";
        server::AppendTextFromUtf8(appended, c.utf8, replaced);
        EXPECT_EQ(hex(appended), hex(std::string("AB") + c.cp932));
        EXPECT_EQ(replaced, 2 * c.replaced);
    }
}

// ---------------------------------------------------------------------------------------------

struct Rows {
    std::vector<std::vector<std::string>> fields; // "\x01" stands for a NULL
};

std::string streamOf(const Rows& rows) {
    server::CopyWriter out;
    for (const auto& row : rows.fields) {
        out.BeginRow(int(row.size()));
        for (const std::string& f : row) {
            if (f == "\x01") {
                out.Null();
            } else {
                out.Bytes(f);
            }
        }
    }
    out.End();
    return out.Buffer();
}

// Feeds the stream in the pieces that cuts make; false with error when refused.
bool readBack(const std::string& stream, const std::vector<std::size_t>& cuts, Rows& read,
              CString& error) {
    server::CopyReader reader;
    std::size_t from = 0;
    std::vector<std::size_t> ends = cuts;
    ends.push_back(stream.size());
    for (std::size_t to : ends) {
        const bool fed = reader.Feed(
            std::string_view(stream).substr(from, to - from),
            [&](const std::vector<server::Field>& fields, CString&) {
                auto& row = read.fields.emplace_back();
                for (const server::Field& f : fields) {
                    row.push_back(f.null ? std::string("\x01") : std::string(f.bytes));
                }
                return true;
            },
            error);
        if (!fed) {
            return false;
        }
        from = to;
    }
    return reader.Finish(error);
}

TEST(ServerRows, RowsReadTheSameWhereverTheStreamIsCut) {
    const Rows rows{{{"a", "\x01", ""}, {std::string(300, 'x')}, {}, {"\x01", "bc", "d", "e"}}};
    const std::string stream = streamOf(rows);
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        Rows read;
        CString error;
        ASSERT_TRUE(readBack(stream, {cut}, read, error)) << "cut at " << cut;
        ASSERT_EQ(read.fields, rows.fields) << "cut at " << cut;
    }
    for (std::size_t piece = 1; piece <= 40; ++piece) {
        std::vector<std::size_t> cuts;
        for (std::size_t at = piece; at < stream.size(); at += piece) {
            cuts.push_back(at);
        }
        Rows read;
        CString error;
        ASSERT_TRUE(readBack(stream, cuts, read, error)) << "pieces of " << piece;
        ASSERT_EQ(read.fields, rows.fields) << "pieces of " << piece;
    }
    // Bytes after the trailer, in its piece or in a later one; a stream cut before it.
    for (const std::vector<std::size_t>& cuts :
         {std::vector<std::size_t>{}, std::vector<std::size_t>{stream.size()}}) {
        Rows read;
        CString error;
        EXPECT_FALSE(readBack(stream + "x", cuts, read, error));
        EXPECT_NE(error.ToUtf8().find("終わりの後にまだデータがあります"), std::string::npos)
            << error.ToUtf8();
    }
    for (std::size_t cut = 0; cut < stream.size(); ++cut) {
        Rows read;
        CString error;
        EXPECT_FALSE(readBack(stream.substr(0, cut), {}, read, error)) << "cut at " << cut;
    }
}

// The fields of a case as a row of the server: written and read back, with its text block in
// a loader's arena or its own, and refused where damaged.
TEST(ServerRows, ACaseReadsBackFromItsFieldsWhereverItsTextsGo) {
    std::mt19937 rng(8);
    std::vector<CCaseRecord> cases;
    for (int i = 0; i < 50; ++i) {
        cases.push_back(testing_support::RealisticCase(rng, testing_support::Spread::Everything));
    }
    const std::vector<std::string> awkward = awkwardTexts(100, 9);
    for (std::size_t i = 0; i < cases.size(); i += 3) {
        cases[i].SetstrNotes(CString(awkward[i]));
        cases[i].SetSupervisor(2, CString(awkward[i + 1]));
    }
    cases.emplace_back(); // every text empty
    const int columns = int(server::CaseColumns().size()) + 1;
    server::CopyWriter out;
    for (const CCaseRecord& r : cases) {
        out.BeginRow(columns);
        server::WriteCaseFields(out, r);
    }
    out.End();
    registry::TextArena arena;
    std::vector<CCaseRecord> own, inArena;
    server::CopyReader reader;
    CString error;
    int replaced = 0;
    ASSERT_TRUE(reader.Feed(
        out.Buffer(),
        [&](const std::vector<server::Field>& fields, CString& rowError) {
            EXPECT_EQ(int(fields.size()), columns);
            return server::ReadCaseFields(fields.data(), own.emplace_back(), replaced, rowError) &&
                   server::ReadCaseFields(fields.data(), inArena.emplace_back(), replaced, rowError,
                                          &arena);
        },
        error))
        << error.ToUtf8();
    ASSERT_TRUE(reader.Finish(error));
    EXPECT_EQ(replaced, 0);
    ASSERT_EQ(own.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(own[i], cases[i]) << "case " << i;
        EXPECT_EQ(inArena[i], cases[i]) << "case " << i;
    }

    // A damaged side column of exact bytes, and a text that is NULL.
    std::vector<server::Field> fields(static_cast<std::size_t>(columns));
    const std::vector<server::CaseColumn>& all = server::CaseColumns();
    const std::string four("\0\0\0\4", 4);
    for (std::size_t c = 0; c < all.size(); ++c) {
        fields[c] = {all[c].kind == server::CaseColumn::Text ? std::string_view("t")
                                                             : std::string_view(four)};
    }
    fields.back() = {std::string_view("\x05\0\0\0ab", 6)};
    CCaseRecord r;
    EXPECT_FALSE(server::ReadCaseFields(fields.data(), r, replaced, error, &arena));
    EXPECT_FALSE(error.IsEmpty());
    fields.back() = {{}, true};
    EXPECT_TRUE(server::ReadCaseFields(fields.data(), r, replaced, error, &arena));
    EXPECT_EQ(r.GetnAgeYears(), 4);
    EXPECT_EQ(r.TextView(CCaseRecord::kstrName), "t");
    fields[3] = {{}, true}; // anesthesiologist_1
    error.Empty();
    EXPECT_FALSE(server::ReadCaseFields(fields.data(), r, replaced, error));
    EXPECT_FALSE(error.IsEmpty());
}

// Case i changed as the result[i]-th; equal numbers keep the cases' order. A registry whose
// numbers are already in order (nobody corrected a case since the import) takes a shorter way.
TEST(ServerRows, TheOrderOfLastChangesKeepsTheCasesOrderAmongEqualOnes) {
    std::mt19937 rng(6);
    std::vector<std::vector<std::int64_t>> all = {{}, {5}, {1, 2, 2, 3}, {3, 2, 1}, {2, 1, 2, 1}};
    for (int n : {50, 1000}) {
        std::vector<std::int64_t> changes(static_cast<std::size_t>(n));
        for (std::int64_t& c : changes) {
            c = std::int64_t(rng() % 40);
        }
        all.push_back(changes);
        std::sort(changes.begin(), changes.end());
        all.push_back(changes);
    }
    for (const std::vector<std::int64_t>& changes : all) {
        const std::vector<std::uint32_t> order = server::ChangeOrder(changes);
        ASSERT_EQ(order.size(), changes.size());
        for (std::size_t a = 0; a < changes.size(); ++a) {
            for (std::size_t b = a + 1; b < changes.size(); ++b) {
                ASSERT_EQ(order[a] < order[b], changes[a] <= changes[b]) << a << " " << b;
            }
        }
    }
}

} // namespace
