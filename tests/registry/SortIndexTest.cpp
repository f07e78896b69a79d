#include "registry/QuellmarkDoc.h"
#include "support/CaseBuilder.h"

#include <gtest/gtest.h>

#include <random>

using testing_support::BlankCase;

namespace {

// The insertion rule written out plainly: count the other cases whose key is strictly
// greater, and put the case at that position.
class NaiveIndexes {
public:
    void Add(const CCaseRecord& r) {
        m_cases.push_back(r);
        int index = int(m_cases.size()) - 1;
        for (int key = 1; key <= kSortKeyCount; ++key) {
            insert(key, index);
        }
    }
    void Replace(int index, const CCaseRecord& r) {
        m_cases[std::size_t(index)] = r;
        if (m_cases.size() <= 1) {
            return;
        }
        for (int key = 1; key <= kSortKeyCount; ++key) {
            auto& list = m_index[std::size_t(key - 1)];
            list.erase(std::find(list.begin(), list.end(), index));
            insert(key, index);
        }
    }
    const std::vector<int>& Index(int key) const { return m_index[std::size_t(key - 1)]; }

private:
    static int sign(long long v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

    int compare(int key, const CCaseRecord& a, const CCaseRecord& b) const {
        switch (key) {
        case kKeyDate: {
            fw::LocalDate da = fw::LocalDateOf(a.GettSurgery());
            fw::LocalDate db = fw::LocalDateOf(b.GettSurgery());
            if (da.year != db.year)
                return sign(da.year - db.year);
            if (da.month != db.month)
                return sign(da.month - db.month);
            return sign(da.day - db.day);
        }
        case kKeyKana:
            return a.GetstrKana().Compare(b.GetstrKana());
        case kKeyId:
            return a.GetstrId().Compare(b.GetstrId());
        case kKeyAge:
            if (a.GetnAgeYears() != b.GetnAgeYears())
                return sign((long long)a.GetnAgeYears() - b.GetnAgeYears());
            if (a.GetnAgeMonths() != b.GetnAgeMonths())
                return sign((long long)a.GetnAgeMonths() - b.GetnAgeMonths());
            return sign((long long)a.GetnAgeDays() - b.GetnAgeDays());
        case kKeySex:
            return sign((long long)a.GetnSex() - b.GetnSex());
        case kKeyDisease:
            return a.GetstrDisease().Compare(b.GetstrDisease());
        case kKeyProcedure:
            return a.GetstrProcedure().Compare(b.GetstrProcedure());
        case kKeyDepartment:
            return a.GetstrDepartment().Compare(b.GetstrDepartment());
        case kKeyAsa:
            return a.GetstrAsa().Compare(b.GetstrAsa());
        case kKeyMethod:
            return sign((long long)a.GetnMethod() - b.GetnMethod());
        case kKeyAnesthesiologist:
            return a.GetAnesthesiologist(0).Compare(b.GetAnesthesiologist(0));
        default:
            return a.GetSupervisor(0).Compare(b.GetSupervisor(0));
        }
    }

    void insert(int key, int index) {
        auto& list = m_index[std::size_t(key - 1)];
        int greater = 0;
        for (int other : list) {
            if (other != index &&
                compare(key, m_cases[std::size_t(other)], m_cases[std::size_t(index)]) > 0) {
                ++greater;
            }
        }
        list.insert(list.begin() + greater, index);
    }

    std::vector<CCaseRecord> m_cases;
    std::array<std::vector<int>, kSortKeyCount> m_index;
};

std::vector<int> docIndex(const CQuellmarkDoc& doc, int key) {
    std::vector<int> out;
    for (int i = 0; i < doc.GetRecordCount(); ++i) {
        out.push_back(doc.GetSortIndexEntry(key, i));
    }
    return out;
}

void expectSameIndexes(const CQuellmarkDoc& doc, const NaiveIndexes& naive, int step) {
    for (int key = 1; key <= kSortKeyCount; ++key) {
        ASSERT_EQ(docIndex(doc, key), naive.Index(key)) << "key " << key << " step " << step;
    }
}

// Cases from small value sets, so that equal keys are common.
CCaseRecord crowdedCase(std::mt19937& rng) {
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const char* kana[] = {"ｱｲ", "あい", "亜", "", "ｱ"};
    const char* asa[] = {"1", "2E", "", "1E"};
    CCaseRecord r = BlankCase("x", 2006, 4, 1 + pick(3));
    // Two times of day on the same date must count as the same key.
    r.SettSurgery(r.GettSurgery() + pick(2) * 3600);
    CString text;
    CString::FromUtf8(kana[pick(5)], text);
    r.SetstrKana(text);
    r.SetstrId(CString::Formatted("%d", pick(3)));
    r.SetnAgeYears(pick(2) - 1);
    r.SetnAgeMonths(pick(2));
    r.SetnAgeDays(pick(2));
    r.SetnSex(pick(3));
    r.SetstrDisease(text);
    r.SetstrProcedure(CString::Formatted("p%d", pick(2)));
    r.SetstrDepartment(pick(2) ? "外科"_sj : "内科"_sj);
    r.SetstrAsa(asa[pick(4)]);
    r.SetnMethod(pick(3));
    r.SetAnesthesiologist(0, pick(2) ? "青木"_sj : "ｱｵｷ"_sj);
    r.SetSupervisor(0, CString::Formatted("s%d", pick(2)));
    return r;
}

} // namespace

TEST(SortIndexTest, AddAndReplaceKeepTheInsertionOrder) {
    std::mt19937 rng(11);
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    NaiveIndexes naive;
    for (int step = 0; step < 400; ++step) {
        bool replace = doc.GetRecordCount() > 0 && rng() % 3 == 0;
        CCaseRecord r = crowdedCase(rng);
        if (replace) {
            int index = int(rng() % unsigned(doc.GetRecordCount()));
            ASSERT_TRUE(doc.ReplaceRecord(index, r));
            naive.Replace(index, r);
        } else {
            doc.AddRecord(r);
            naive.Add(r);
        }
        expectSameIndexes(doc, naive, step);
    }
    // Many cases at once order as if added one by one, after the replaces above.
    std::vector<CCaseRecord> batch;
    for (int i = 0; i < 50; ++i) {
        batch.push_back(crowdedCase(rng));
        naive.Add(batch.back());
    }
    doc.AddRecords(batch);
    expectSameIndexes(doc, naive, -1);
}

TEST(SortIndexTest, LoadingRebuildsTheIndexesFromTheFileOrder) {
    // The saved index fields come from adds and replaces; the loaded indexes must be those of
    // inserting the cases one by one in file order, whatever the file's index fields held.
    std::mt19937 rng(3);
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    for (int i = 0; i < 120; ++i) {
        doc.AddRecord(crowdedCase(rng));
    }
    for (int i = 0; i < 60; ++i) {
        doc.ReplaceRecord(int(rng() % 120), crowdedCase(rng));
    }
    std::string bytes = testing_support::StoredBytes(doc);
    CQuellmarkDoc back(CQuellmarkDoc::NoFile{});
    fw::CMemFile file(bytes);
    fw::CArchive ar(file, fw::CArchive::load);
    back.Serialize(ar);
    NaiveIndexes naive;
    for (int i = 0; i < back.GetRecordCount(); ++i) {
        naive.Add(back.GetRecord(i));
    }
    expectSameIndexes(back, naive, -1);
}

TEST(SortIndexTest, EqualKeysPutTheLatestFirst) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(BlankCase("a", 2006, 4, 1));
    doc.AddRecord(BlankCase("b", 2006, 4, 1));
    doc.AddRecord(BlankCase("c", 2005, 1, 1));
    EXPECT_EQ(docIndex(doc, kKeyDate), (std::vector<int>{1, 0, 2}));
    // A case moved to a later date goes to the top; replaced without change, it goes before
    // the others of its date.
    doc.ReplaceRecord(2, BlankCase("c", 2007, 1, 1));
    EXPECT_EQ(docIndex(doc, kKeyDate), (std::vector<int>{2, 1, 0}));
    doc.ReplaceRecord(0, doc.GetRecord(0));
    EXPECT_EQ(docIndex(doc, kKeyDate), (std::vector<int>{2, 0, 1}));
    EXPECT_FALSE(doc.ReplaceRecord(3, doc.GetRecord(0)));
    EXPECT_FALSE(doc.ReplaceRecord(-1, doc.GetRecord(0)));
}

TEST(SortIndexTest, KanaOrderPutsKanjiAboveHalfWidthKatakana) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    const char* kana[] = {"ｱ", "亜", "あ", "a"};
    for (const char* k : kana) {
        CCaseRecord r = BlankCase("x");
        CString text;
        CString::FromUtf8(k, text);
        r.SetstrKana(text);
        doc.AddRecord(r);
    }
    // Descending: 亜 (0x889F) > あ (0x82A0) > ｱ (0xB1) > a (0x61).
    EXPECT_EQ(docIndex(doc, kKeyKana), (std::vector<int>{1, 2, 0, 3}));
}

TEST(SortIndexTest, ReplacingTheOnlyCaseLeavesEntryZero) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(BlankCase("a"));
    doc.ReplaceRecord(0, BlankCase("b", 2020, 1, 1));
    for (int key = 1; key <= kSortKeyCount; ++key) {
        EXPECT_EQ(docIndex(doc, key), std::vector<int>{0});
    }
    EXPECT_EQ(doc.GetRecord(0).GetstrName(), "b");
}

TEST(SortIndexTest, KeysWithManyDistinctValuesSortLikeInsertion) {
    // Enough distinct values to leave the ranking path: long texts sharing seven characters,
    // some equal, some ending right after them; ages far outside the form's range.
    std::mt19937 rng(21);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    std::vector<CCaseRecord> cases;
    NaiveIndexes naive;
    for (int i = 0; i < 1500; ++i) {
        CCaseRecord r = crowdedCase(rng);
        CString shared = "あいうえおかき"_sj;
        r.SetstrKana(pick(5) == 0 ? shared : shared + CString::Formatted("%d", pick(400)));
        r.SetstrId(CString::Formatted("%08d", pick(100000)));
        r.SetnAgeYears(pick(3) == 0 ? pick(2000000000) : pick(5));
        r.SetnAgeDays(pick(700) - 350);
        r.SetstrProcedure(CString(std::string(std::size_t(pick(12)), 'p')) +
                          CString::Formatted("%d", pick(3)));
        cases.push_back(r);
        naive.Add(r);
    }
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecords(cases);
    expectSameIndexes(doc, naive, -1);
}
