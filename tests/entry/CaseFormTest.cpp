#include "entry/CaseForm.h"

#include "registry/CaseCodes.h"
#include "support/CaseBuilder.h"

#include <gtest/gtest.h>

using namespace entry;

namespace {

const fw::LocalDateTime kNow{2012, 6, 15, 14, 30, 5};

CString sj(const char* utf8) {
    CString s;
    CString::FromUtf8(utf8, s);
    return s;
}

// A case whose every member differs from its neighbours', so that a member written into the
// wrong place shows.
CCaseRecord FullCase() {
    CCaseRecord r = testing_support::BlankCase("山田太郎", 2011, 3, 9);
    r.SetstrKana(sj("やまだ たろう"));
    r.SetbWithhold(1);
    r.SetstrId(sj("00012345"));
    r.SetnAgeYears(42);
    r.SetnAgeMonths(7);
    r.SetnAgeDays(19);
    r.SetnSex(0);
    r.SetstrDisease(sj("胃癌"));
    r.SetstrProcedure(sj("幽門側胃切除術"));
    r.SetfHeight(171.5f);
    r.SetfWeight(63.25f);
    r.SetstrWard(sj("3東"));
    r.SetstrOperatingRoom(sj("5"));
    r.SetnMethod(3);
    r.SetnSite(12);
    r.SetnPreopCode(201);
    r.SetstrPreopComment(sj("大動脈破裂，外傷，"));
    r.SetnPosition(4);
    for (int i = 0; i < CCaseRecord::kPeople; ++i) {
        r.SetAnesthesiologist(i, CString::Formatted("A%d", i));
        r.SetSupervisor(i, CString::Formatted("S%d", i));
    }
    r.SetstrDepartment(sj("外科"));
    r.SetstrAsa(sj("3E"));
    r.SetstrAnesthesiaTime(sj("3:05"));
    r.SetstrSurgeryTime(sj("2:40"));
    r.SetstrNotes(sj("一行目\r\n二行目"));
    r.SetstrTransfusionNote(sj("術中輸血"));
    r.SetstrBloodLossNote(sj("およそ"));
    r.SetMap(2, 2);
    r.SetFfp(3, 1);
    r.SetPc(4, 2);
    r.SetAutologous(5, 1);
    r.SetWholeBlood(6, 2);
    r.SetOtherProduct(sj("アルブミナー"), 7, 1);
    r.SetnAlbumin(8);
    r.SetInfusion(1500, 500);
    r.SetnUrine(300);
    r.SetnBloodLoss(250);
    r.SetstrDrugIncident(sj("薬剤\r\n量"));
    return r;
}

CCaseRecord RoundTrip(const CCaseRecord& in) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CaseForm form;
    ReadCase(form, in, doc);
    CCaseRecord out = in;
    EXPECT_TRUE(WriteCase(form, out, kNow));
    return out;
}

// The same case, dated as written at kNow.
CCaseRecord AsWrittenAtNow(CCaseRecord r) {
    const fw::LocalDate d = fw::LocalDateOf(r.GettSurgery());
    r.SettSurgery(fw::MakeTime32(d.year, d.month, d.day, kNow.hour, kNow.minute, kNow.second));
    return r;
}

TEST(CaseFormConversion, AnUnchangedCaseWritesBackAsItWas) {
    const CCaseRecord in = FullCase();
    EXPECT_EQ(RoundTrip(in), AsWrittenAtNow(in));
}

TEST(CaseFormConversion, EveryCodeKeepsItsValue) {
    // "その他" and "CABG" are leading parts of other items; they must not turn into those.
    for (int code = 0; code <= registry::kSiteCount; ++code) {
        CCaseRecord r = FullCase();
        r.SetnSite(code);
        EXPECT_EQ(RoundTrip(r).GetnSite(), code);
    }
    for (int code = 0; code <= registry::kMethodCount; ++code) {
        CCaseRecord r = FullCase();
        r.SetnMethod(code);
        EXPECT_EQ(RoundTrip(r).GetnMethod(), code);
    }
    for (int code = 0; code <= registry::kPositionCount; ++code) {
        CCaseRecord r = FullCase();
        r.SetnPosition(code);
        EXPECT_EQ(RoundTrip(r).GetnPosition(), code);
    }
}

TEST(CaseFormConversion, CodesOutsideTheListsAndOddUnits) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord r = FullCase();
    r.SetnSite(24);
    r.SetnSex(2);
    r.SetMap(1, 5);
    r.SetFfp(1, 0);
    CaseForm form;
    ReadCase(form, r, doc);
    EXPECT_EQ(form.m_strSite, "");
    EXPECT_EQ(form.m_strSex, "女性"_sj);
    EXPECT_EQ(form.m_strMapUnit, "");
    EXPECT_EQ(form.m_strFfpUnit, "");
    EXPECT_EQ(form.m_strPcUnit, "単位"_sj);

    form.m_strOtherUnit = "ml";
    form.m_strWholeBloodUnit = "g(ml)";
    CCaseRecord out;
    ASSERT_TRUE(WriteCase(form, out, kNow));
    EXPECT_EQ(out.GetnSite(), 0);
    EXPECT_EQ(out.GetnSex(), 0);
    EXPECT_EQ(out.GetnMapUnit(), 2); // an empty unit text is "not g(ml)"
    EXPECT_EQ(out.GetnFfpUnit(), 2);
    EXPECT_EQ(out.GetnOtherUnit(), 2);
    EXPECT_EQ(out.GetnWholeBloodUnit(), 1);
}

TEST(CaseFormConversion, ANewCaseWithOnlyANameIsTheBlankCase) {
    CaseForm form;
    InitNewCase(form, {2012, 6, 15});
    form.m_strName = sj("鈴木");
    CCaseRecord out;
    ASSERT_TRUE(WriteCase(form, out, kNow));
    out.SetnIncidentIndex(-1);
    EXPECT_EQ(out, AsWrittenAtNow(testing_support::BlankCase("鈴木", 2012, 6, 15)));
    EXPECT_EQ(form.m_nIncidentState, kIncidentNone);
    EXPECT_EQ(form.m_bEditMode, 0);
}

TEST(CaseFormDate, WrittenWithTheTimeOfWritingNormalisedOrNotAtAll) {
    CaseForm form;
    InitNewCase(form, {2011, 13, 1});
    CCaseRecord out = FullCase();
    ASSERT_TRUE(WriteCase(form, out, kNow));
    EXPECT_EQ(fw::LocalDateOf(out.GettSurgery()), (fw::LocalDate{2012, 1, 1}));
    EXPECT_EQ(fw::LocalDateTimeOf(out.GettSurgery()).hour, 14);
    form.m_nMonth = 4, form.m_nDay = 31;
    ASSERT_TRUE(WriteCase(form, out, kNow));
    EXPECT_EQ(fw::LocalDateOf(out.GettSurgery()), (fw::LocalDate{2011, 5, 1}));

    const CCaseRecord before = out;
    for (int year : {2100, 1960, 2039}) {
        form.m_nYear = year;
        EXPECT_EQ(SurgeryTime(form, kNow), fw::kNoTime) << year;
        EXPECT_FALSE(WriteCase(form, out, kNow)) << year;
        EXPECT_EQ(out, before) << year;
    }
}

class CaseFormIncident : public ::testing::Test {
protected:
    CaseFormIncident() : doc(CQuellmarkDoc::NoFile{}) {
        row = doc.AddIncident();
        doc.SetIncidentValue(row, 0, 2);
        doc.SetIncidentValue(row, 16, 9);
        doc.SetIncidentText(row, 1, sj("導入時"));
        doc.SetIncidentText(row, 3, sj("主原因"));
    }

    void EnterIncident(CaseForm& form, int first) {
        int values[CaseForm::kIncidentValues] = {};
        CString texts[CaseForm::kIncidentTexts] = {"t1", "t2", "t3"};
        values[0] = first;
        values[16] = first + 1;
        TakeIncidentResult(form, 1, values, texts);
    }

    CaseForm Opened(int incidentIndex) {
        CCaseRecord r = FullCase();
        r.SetnIncidentIndex(incidentIndex);
        CaseForm form;
        ReadCase(form, r, doc);
        return form;
    }

    // Confirms the form as a new case whose incident index was openedIndex when it opened, as
    // the store applies it; the incident index the case got.
    int Settle(const CaseForm& form, int openedIndex) {
        CCaseRecord r = FullCase();
        r.SetnIncidentIndex(openedIndex);
        registry::JournalEntry change = CaseChange(form, r, -1, openedIndex, doc);
        registry::ApplyJournalEntry(doc, change);
        EXPECT_EQ(doc.RecordAt(doc.GetRecordCount() - 1).GetnIncidentIndex(),
                  change.record.GetnIncidentIndex());
        return change.record.GetnIncidentIndex();
    }

    CQuellmarkDoc doc;
    int row = 0;
};

TEST_F(CaseFormIncident, OpeningReadsTheRowOfTheCase) {
    const CaseForm with = Opened(row);
    EXPECT_EQ(with.m_nIncidentState, row);
    EXPECT_EQ(with.m_strIncidentStatus, "あり"_sj);
    EXPECT_EQ(with.m_nIncidentValue[0], 2);
    EXPECT_EQ(with.m_nIncidentValue[16], 9);
    EXPECT_EQ(with.m_strIncidentText[0], sj("導入時"));
    EXPECT_EQ(with.m_strIncidentText[2], sj("主原因"));

    const CaseForm without = Opened(-1);
    EXPECT_EQ(without.m_nIncidentState, kIncidentNone);
    EXPECT_EQ(without.m_strIncidentStatus, "");
    // A damaged index must not pass for "entered in this form" and add a row on confirming.
    const CaseForm damaged = Opened(kIncidentEdited);
    EXPECT_EQ(damaged.m_nIncidentState, kIncidentNone);
    EXPECT_EQ(Settle(damaged, kIncidentEdited), kIncidentEdited);
    EXPECT_EQ(doc.GetIncidentCount(), 1);
}

TEST_F(CaseFormIncident, TheDialogStartsFreshAfterADeletion) {
    CaseForm form = Opened(row);
    int values[CaseForm::kIncidentValues];
    CString texts[CaseForm::kIncidentTexts];
    IncidentToEdit(form, values, texts);
    EXPECT_EQ(values[16], 9);
    EXPECT_EQ(texts[0], sj("導入時"));

    TakeIncidentResult(form, 2, values, texts);
    EXPECT_EQ(form.m_strIncidentStatus, "削除"_sj);
    EXPECT_EQ(form.m_nIncidentValue[16], 9);    // kept, yet not offered again
    TakeIncidentResult(form, 0, values, texts); // closed some other way: no change
    IncidentToEdit(form, values, texts);
    EXPECT_EQ(values[16], 0);
    EXPECT_EQ(texts[0], "");
}

TEST_F(CaseFormIncident, NewCases) {
    CaseForm untouched;
    InitNewCase(untouched, {2012, 1, 1});
    EXPECT_EQ(Settle(untouched, kIncidentNone), -1);

    CaseForm cancelled = untouched;
    TakeIncidentResult(cancelled, 2, cancelled.m_nIncidentValue, cancelled.m_strIncidentText);
    EXPECT_EQ(Settle(cancelled, kIncidentNone), -1);
    EXPECT_EQ(doc.GetIncidentCount(), 1);

    CaseForm entered = untouched;
    EnterIncident(entered, 3);
    const int added = Settle(entered, kIncidentNone);
    EXPECT_EQ(added, 1);
    EXPECT_EQ(doc.GetIncidentCount(), 2);
    EXPECT_EQ(doc.GetIncidentValue(added, 0), 3);
    EXPECT_EQ(doc.GetIncidentValue(added, 16), 4);
    EXPECT_EQ(doc.GetIncidentText(added, 1), "t1");
    EXPECT_EQ(doc.GetIncidentText(added, 3), "t3");
    EXPECT_EQ(doc.GetIncidentValue(row, 0), 2);
}

TEST_F(CaseFormIncident, ExistingCases) {
    EXPECT_EQ(Settle(Opened(row), row), row);

    CaseForm changed = Opened(row);
    EnterIncident(changed, 6);
    EXPECT_EQ(Settle(changed, row), row);
    EXPECT_EQ(doc.GetIncidentCount(), 1);
    EXPECT_EQ(doc.GetIncidentValue(row, 0), 6);
    EXPECT_EQ(doc.GetIncidentText(row, 2), "t2");

    CaseForm deleted = Opened(row);
    TakeIncidentResult(deleted, 2, deleted.m_nIncidentValue, deleted.m_strIncidentText);
    EXPECT_EQ(Settle(deleted, row), -1);
    EXPECT_EQ(doc.GetIncidentCount(), 1); // the row stays, referred to by no case
    EXPECT_EQ(doc.GetIncidentValue(row, 0), 6);

    CaseForm first = Opened(-1);
    EnterIncident(first, 1);
    EXPECT_EQ(Settle(first, -1), 1);
    EXPECT_EQ(doc.GetIncidentCount(), 2);
}

TEST_F(CaseFormIncident, AnIndexBeyondTheTableGetsARowOfItsOwn) {
    CaseForm form = Opened(7);
    EXPECT_EQ(form.m_strIncidentStatus, "あり"_sj);
    EXPECT_EQ(Settle(form, 7), 7); // left alone while not edited
    EnterIncident(form, 4);
    const int settled = Settle(form, 7);
    EXPECT_EQ(settled, 1);
    EXPECT_EQ(doc.GetIncidentValue(settled, 0), 4);
}

class CaseFormSameId : public ::testing::Test {
protected:
    CaseFormSameId() : doc(CQuellmarkDoc::NoFile{}) { InitNewCase(form, {2012, 6, 15}); }

    int Add(const char* name, const char* id, int y, int m, int d, int hour = 10) {
        CCaseRecord r = FullCase();
        r.SetstrName(sj(name));
        r.SetstrId(sj(id));
        r.SettSurgery(fw::MakeTime32(y, m, d, hour, 0, 0));
        doc.AddRecord(r);
        return doc.GetRecordCount() - 1;
    }

    CQuellmarkDoc doc;
    CaseForm form;
};

TEST_F(CaseFormSameId, CopiesThePatientOfTheNewestCaseAndNothingElse) {
    Add("古い", "42", 2010, 5, 1);
    Add("新しい", "42", 2011, 5, 1);
    Add("別人", "43", 2012, 5, 1);
    Add("間の", "42", 2010, 12, 1); // later in the list, earlier in date
    form.m_strId = "42";
    form.m_strDisease = sj("入力済み");
    form.m_nAgeYears = 3;
    const CaseForm before = form;
    ASSERT_TRUE(FillFromSameId(form, doc));

    const CCaseRecord source = FullCase();
    EXPECT_EQ(form.m_strName, sj("新しい"));
    EXPECT_EQ(form.m_strKana, source.GetstrKana());
    EXPECT_EQ(form.m_fHeight, source.GetfHeight());
    EXPECT_EQ(form.m_fWeight, source.GetfWeight());
    EXPECT_EQ(form.m_strSex, "女性"_sj);
    EXPECT_EQ(form.m_strPreopComment, source.GetstrPreopComment());
    EXPECT_EQ(form.m_nPreopCode, 201);

    CaseForm rest = form;
    rest.m_strName = before.m_strName;
    rest.m_strKana = before.m_strKana;
    rest.m_fHeight = before.m_fHeight;
    rest.m_fWeight = before.m_fWeight;
    rest.m_strSex = before.m_strSex;
    rest.m_strPreopComment = before.m_strPreopComment;
    rest.m_nPreopCode = before.m_nPreopCode;
    CCaseRecord a, b;
    ASSERT_TRUE(WriteCase(rest, a, kNow));
    ASSERT_TRUE(WriteCase(before, b, kNow));
    EXPECT_EQ(a, b);
}

TEST_F(CaseFormSameId, WhichCaseMatches) {
    Add("先", "", 2011, 5, 1, 8);
    Add("後", "", 2011, 5, 1, 23); // the same date: the earlier in the list stays
    Add("長い", "421", 2012, 5, 1);
    ASSERT_TRUE(FillFromSameId(form, doc)); // an empty ID matches the empty IDs
    EXPECT_EQ(form.m_strName, sj("先"));

    InitNewCase(form, {2012, 6, 15});
    form.m_strId = "42";
    EXPECT_FALSE(FillFromSameId(form, doc));
    EXPECT_EQ(form.m_strName, "");

    CCaseRecord r = FullCase();
    r.SetstrId("421");
    ReadCase(form, r, doc);
    EXPECT_FALSE(FillFromSameId(form, doc)); // an existing case is left alone
    EXPECT_EQ(form.m_strName, r.GetstrName());
}

// IDs stored full-width by earlier versions (typed with Japanese input on) are the same IDs.
TEST_F(CaseFormSameId, AnIdMatchesWhateverItsWidth) {
    Add("全角", "Ａ００７", 2011, 5, 1);
    Add("半角", "B008", 2011, 5, 1);
    const struct {
        const char* typed;
        const char* found; // nullptr: none
    } kCases[] = {
        {"A007", "全角"},  {"Ａ００７", "全角"}, {"Ａ007", "全角"},      {"Ｂ００８", "半角"},
        {"a007", nullptr}, {"A07", nullptr},     {"Ａ００７ ", nullptr},
    };
    for (const auto& c : kCases) {
        InitNewCase(form, {2012, 6, 15});
        form.m_strId = sj(c.typed);
        EXPECT_EQ(FillFromSameId(form, doc), c.found != nullptr) << c.typed;
        EXPECT_EQ(form.m_strName, sj(c.found ? c.found : "")) << c.typed;
    }
    EXPECT_EQ(doc.RecordAt(0).GetstrId(), sj("Ａ００７")); // what was stored stays
}

} // namespace
