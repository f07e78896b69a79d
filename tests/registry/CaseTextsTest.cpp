// The texts of a case in one block, and the loaded cases' blocks in the document's arena,
// against plain strings.

#include "registry/QuellmarkDoc.h"
#include "support/CaseBuilder.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <string>

using fw::CArchive;
using fw::CMemFile;
using registry::CaseTexts;

namespace {

// Texts of every length class: empty, short, just over a chunk of the arena, and large.
std::string randomText(std::mt19937& rng) {
    static constexpr std::size_t kLengths[] = {0, 1, 15, 16, 254, 255, 70000, 300000};
    std::string text(kLengths[rng() % std::size(kLengths)], '\0');
    for (char& c : text) {
        c = char(rng());
    }
    return text;
}

TEST(CaseTextsTest, SettingTextsInAnyOrderKeepsEveryOtherText) {
    std::mt19937 rng(3);
    CaseTexts texts;
    std::array<std::string, CaseTexts::kCount> plain;
    for (int step = 0; step < 150; ++step) {
        const int slot = int(rng() % CaseTexts::kCount);
        if (step % 5 == 4) {
            // A text of the block itself, which the new block is made from.
            const int from = int(rng() % CaseTexts::kCount);
            texts.Set(slot, texts.View(from));
            plain[std::size_t(slot)] = plain[std::size_t(from)];
        } else {
            plain[std::size_t(slot)] = randomText(rng);
            texts.Set(slot, plain[std::size_t(slot)]);
        }
        const CaseTexts copy = texts;
        for (int i = 0; i < CaseTexts::kCount; ++i) {
            ASSERT_EQ(texts.View(i), plain[std::size_t(i)]) << step << " " << i;
            ASSERT_EQ(copy.View(i), plain[std::size_t(i)]) << step << " " << i;
        }
    }
}

// The loaded cases' texts fill several chunks of the arena, one case more than a chunk; each
// case equals the one saved, and copies taken from the document outlive it.
TEST(CaseTextsTest, LoadedCasesEqualTheSavedOnesAndTheirCopiesOutliveTheDocument) {
    std::mt19937 rng(11);
    CQuellmarkDoc saved(CQuellmarkDoc::NoFile{});
    for (int i = 0; i < 200; ++i) {
        CCaseRecord r = testing_support::RealisticCase(rng);
        r.SetstrNotes(CString(randomText(rng)));
        saved.AddRecord(r);
    }
    const std::string bytes = testing_support::StoredBytes(saved);
    std::vector<CCaseRecord> copies;
    {
        auto doc = std::make_unique<CQuellmarkDoc>(CQuellmarkDoc::NoFile{});
        CMemFile file(bytes, "vora.dat");
        CArchive ar(file, CArchive::load);
        doc->Serialize(ar);
        ASSERT_EQ(doc->GetRecordCount(), saved.GetRecordCount());
        for (int i = 0; i < doc->GetRecordCount(); ++i) {
            ASSERT_TRUE(doc->RecordAt(i) == saved.RecordAt(i)) << i;
            copies.push_back(doc->GetRecord(i));
        }
    }
    for (int i = 0; i < saved.GetRecordCount(); ++i) {
        ASSERT_TRUE(copies[std::size_t(i)] == saved.RecordAt(i)) << i;
    }
}

} // namespace
