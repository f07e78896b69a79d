// Test support for the end-to-end scripts: builds data files and prints what a data file
// holds, member by member, so that a script's checks can compare saved values.
//
//   vora_testkit make FILE N [SEED]          N realistic cases
//   vora_testkit example FILE                the example registry of the user's guide
//   vora_testkit cases FILE NAME@Y-M-D ...   one case per argument, in that order
//   vora_testkit patient FILE INDEX ID KANA HEIGHT WEIGHT SEX PREOPCODE COMMENT
//                                            patient data of case INDEX, with age 30/1/2
//   vora_testkit dump FILE                   every member of every case, and the tables
//   vora_testkit get FILE KEY                one line of dump, by its key
//   vora_testkit passwords FILE ADMIN USER   sets both passwords (the file may be new)
//   vora_testkit check-indexes FILE [INDEX...]
//                                            the saved index fields are those of inserting the
//                                            cases in file order, then the listed ones again
//   vora_testkit set FILE INDEX KEY VALUE    one member of case INDEX, KEY as dump names it
//                                            (the texts and codes of the case, by their keys)
//   vora_testkit reportable FILE NAME@Y-M-D[@ANESTHESIOLOGIST] ...
//                                            cases that pass the society report's check
//   vora_testkit report FILE YEAR OPERATIONS ROTATORS
//                                            the society report of YEAR, as it would be written
//   vora_testkit list FILE LIST NAME...      appends names to a master list (the file may be
//                                            new); LIST is one of the keys of masterLists
//   vora_testkit export FILE OUT             the patient list export of FILE, written to OUT
//   vora_testkit workbook FILE OUT           the patient list workbook of FILE, written to OUT

#include "registry/CsvExport.h"
#include "registry/QuellmarkDoc.h"
#include "registry/WorkbookExport.h"
#include "report/HospitalInfo.h"
#include "report/SocietyReport.h"
#include "support/CaseBuilder.h"
#include "support/ExampleRegistry.h"
#include "support/SortIndexReference.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <iostream>
#include <sstream>
#include <string>

namespace {

std::string utf8(const CString& s) {
    return s.ToUtf8();
}

void dumpCase(std::ostream& out, int i, const CCaseRecord& r) {
    std::string p = "case." + std::to_string(i) + ".";
    auto line = [&](const char* name, const std::string& value) {
        out << p << name << ": " << value << "\n";
    };
    auto num = [&](const char* name, long long v) { line(name, std::to_string(v)); };
    auto text = [&](const char* name, const CString& v) {
        // Line breaks are shown as \n so that each member stays on one line.
        std::string s = utf8(v);
        std::string escaped;
        for (char c : s) {
            if (c == '\r') {
                escaped += "\\r";
            } else if (c == '\n') {
                escaped += "\\n";
            } else {
                escaped += c;
            }
        }
        line(name, escaped);
    };
    auto flt = [&](const char* name, float v) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%g", double(v));
        line(name, buffer);
    };
    fw::LocalDate d = fw::LocalDateOf(r.GettSurgery());
    line("date",
         std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day));
    text("strName", r.GetstrName());
    text("strKana", r.GetstrKana());
    num("bWithhold", r.GetbWithhold());
    text("strId", r.GetstrId());
    num("nAgeYears", r.GetnAgeYears());
    num("nAgeMonths", r.GetnAgeMonths());
    num("nAgeDays", r.GetnAgeDays());
    num("nIncidentIndex", r.GetnIncidentIndex());
    num("nSex", r.GetnSex());
    text("strDisease", r.GetstrDisease());
    text("strProcedure", r.GetstrProcedure());
    flt("fHeight", r.GetfHeight());
    flt("fWeight", r.GetfWeight());
    num("tSurgery", r.GettSurgery());
    text("strWard", r.GetstrWard());
    text("strOperatingRoom", r.GetstrOperatingRoom());
    num("nMethod", r.GetnMethod());
    num("nSite", r.GetnSite());
    num("nPreopCode", r.GetnPreopCode());
    text("strPreopComment", r.GetstrPreopComment());
    num("nPosition", r.GetnPosition());
    for (int k = 0; k < 3; ++k) {
        text(("strAnesthesiologist" + std::to_string(k + 1)).c_str(), r.GetAnesthesiologist(k));
    }
    for (int k = 0; k < 3; ++k) {
        text(("strSupervisor" + std::to_string(k + 1)).c_str(), r.GetSupervisor(k));
    }
    text("strDepartment", r.GetstrDepartment());
    text("strAsa", r.GetstrAsa());
    text("strAnesthesiaTime", r.GetstrAnesthesiaTime());
    text("strSurgeryTime", r.GetstrSurgeryTime());
    text("strNotes", r.GetstrNotes());
    text("strTransfusionNote", r.GetstrTransfusionNote());
    text("strBloodLossNote", r.GetstrBloodLossNote());
    num("nMapUnit", r.GetnMapUnit());
    num("nFfpUnit", r.GetnFfpUnit());
    num("nPcUnit", r.GetnPcUnit());
    num("nAutologousUnit", r.GetnAutologousUnit());
    num("nWholeBloodUnit", r.GetnWholeBloodUnit());
    num("nOtherUnit", r.GetnOtherUnit());
    num("nMap", r.GetnMap());
    num("nFfp", r.GetnFfp());
    num("nPc", r.GetnPc());
    num("nAutologous", r.GetnAutologous());
    num("nWholeBlood", r.GetnWholeBlood());
    num("nOtherProduct", r.GetnOtherProduct());
    num("nAlbumin", r.GetnAlbumin());
    text("strOtherProductName", r.GetstrOtherProductName());
    num("nCrystalloid", r.GetnCrystalloid());
    num("nColloid", r.GetnColloid());
    num("nUrine", r.GetnUrine());
    num("nBloodLoss", r.GetnBloodLoss());
    text("strDrugIncident", r.GetstrDrugIncident());
}

// The master lists by the keys of dump: "list.wards.0: 3東".
struct MasterList {
    const char* key;
    CStringArray& (CQuellmarkDoc::*get)();
};
const MasterList kMasterLists[] = {
    {"anesthesiologists", &CQuellmarkDoc::GetAnesthesiologistList},
    {"supervisors", &CQuellmarkDoc::GetSupervisorList},
    {"wards", &CQuellmarkDoc::GetWardList},
    {"rooms", &CQuellmarkDoc::GetRoomList},
    {"departments", &CQuellmarkDoc::GetDepartmentList},
};

std::string dump(CQuellmarkDoc& doc) {
    std::ostringstream out;
    out << "version: " << doc.GetFileVersion() << "\n";
    out << "cases: " << doc.GetRecordCount() << "\n";
    out << "incidents: " << doc.GetIncidentCount() << "\n";
    out << "admin: " << utf8(doc.GetAdminPassword()) << "\n";
    out << "user: " << utf8(doc.GetUserPassword()) << "\n";
    for (const MasterList& list : kMasterLists) {
        const CStringArray& names = (doc.*list.get)();
        out << "list." << list.key << ": " << names.GetSize() << "\n";
        for (int i = 0; i < names.GetSize(); ++i) {
            out << "list." << list.key << "." << i << ": " << utf8(names[i]) << "\n";
        }
    }
    for (int i = 0; i < doc.GetRecordCount(); ++i) {
        dumpCase(out, i, doc.RecordAt(i));
    }
    for (int row = 0; row < doc.GetIncidentCount(); ++row) {
        std::string p = "incident." + std::to_string(row) + ".";
        for (int k = 0; k < CQuellmarkDoc::kIncidentValues; ++k) {
            out << p << "value" << k << ": " << doc.GetIncidentValue(row, k) << "\n";
        }
        for (int k = 1; k <= CQuellmarkDoc::kIncidentTexts; ++k) {
            out << p << "text" << k << ": " << utf8(doc.GetIncidentText(row, k)) << "\n";
        }
    }
    return out.str();
}

// Gives an existing case the patient data that the case form's ID button copies, and an age,
// which it must not copy.
bool setPatient(CQuellmarkDoc& doc, char** a) {
    const int index = std::atoi(a[0]);
    if (index < 0 || index >= doc.GetRecordCount()) {
        return false;
    }
    CCaseRecord r = doc.GetRecord(index);
    CString text;
    r.SetstrId(CString::FromUtf8(a[1], text) ? text : CString());
    r.SetstrKana(CString::FromUtf8(a[2], text) ? text : CString());
    r.SetfHeight(float(std::atof(a[3])));
    r.SetfWeight(float(std::atof(a[4])));
    r.SetnSex(std::atoi(a[5]));
    r.SetnPreopCode(std::atoi(a[6]));
    r.SetstrPreopComment(CString::FromUtf8(a[7], text) ? text : CString());
    r.SetnAgeYears(30);
    r.SetnAgeMonths(1);
    r.SetnAgeDays(2);
    return doc.ReplaceRecord(index, r);
}

// The members a script may set, by the keys of dump.
bool setMember(CCaseRecord& r, const std::string& key, const char* value) {
    CString text;
    if (!CString::FromUtf8(value, text)) {
        return false;
    }
    const int number = std::atoi(value);
    const int slot = key.empty() ? -1 : key.back() - '1'; // of the three people, 0 to 2
    const bool hasSlot = slot >= 0 && slot <= 2;
    if (key == "nSex") {
        r.SetnSex(number);
    } else if (key == "nSite") {
        r.SetnSite(number);
    } else if (key == "nMethod") {
        r.SetnMethod(number);
    } else if (key == "fHeight") {
        r.SetfHeight(float(std::atof(value)));
    } else if (key == "strName") {
        r.SetstrName(text);
    } else if (key == "strId") {
        r.SetstrId(text);
    } else if (key == "strKana") {
        r.SetstrKana(text);
    } else if (key == "strDisease") {
        r.SetstrDisease(text);
    } else if (key == "strProcedure") {
        r.SetstrProcedure(text);
    } else if (key == "strDepartment") {
        r.SetstrDepartment(text);
    } else if (key == "strWard") {
        r.SetstrWard(text);
    } else if (key == "strAsa") {
        r.SetstrAsa(text);
    } else if (key == "strOperatingRoom") {
        r.SetstrOperatingRoom(text);
    } else if (key == "strAnesthesiaTime") {
        r.SetstrAnesthesiaTime(text);
    } else if (key == "strSurgeryTime") {
        r.SetstrSurgeryTime(text);
    } else if (key == "strBloodLossNote") {
        r.SetstrBloodLossNote(text);
    } else if (key == "strOtherProductName") {
        r.SetstrOtherProductName(text);
    } else if (key == "strTransfusionNote") {
        r.SetstrTransfusionNote(text);
    } else if (key == "strPreopComment") {
        r.SetstrPreopComment(text);
    } else if (key == "strNotes") {
        r.SetstrNotes(text);
    } else if (key == "strDrugIncident") {
        r.SetstrDrugIncident(text);
    } else if (hasSlot && key.substr(0, key.size() - 1) == "strAnesthesiologist") {
        r.SetAnesthesiologist(slot, text);
    } else if (hasSlot && key.substr(0, key.size() - 1) == "strSupervisor") {
        r.SetSupervisor(slot, text);
    } else {
        return false;
    }
    return true;
}

bool setCaseMember(CQuellmarkDoc& doc, char** a) {
    const int index = std::atoi(a[0]);
    if (index < 0 || index >= doc.GetRecordCount()) {
        return false;
    }
    CCaseRecord r = doc.GetRecord(index);
    return setMember(r, a[1], a[2]) && doc.ReplaceRecord(index, r);
}

// NAME@Y-M-D or NAME@Y-M-D@ANESTHESIOLOGIST.
bool addReportable(CQuellmarkDoc& doc, const std::string& arg) {
    const std::size_t at = arg.find('@');
    int y = 0, m = 0, d = 0, used = 0;
    if (at == std::string::npos ||
        std::sscanf(arg.c_str() + at + 1, "%d-%d-%d%n", &y, &m, &d, &used) != 3) {
        return false;
    }
    CCaseRecord r = testing_support::ReportableCase(arg.substr(0, at).c_str(), y, m, d);
    const std::string rest = arg.substr(at + 1 + std::size_t(used));
    CString person;
    if (!rest.empty() && (rest[0] != '@' || !CString::FromUtf8(rest.substr(1), person))) {
        return false;
    }
    r.SetAnesthesiologist(0, person);
    doc.AddRecord(r);
    return true;
}

// The report text that a run with these annual figures writes.
std::string reportText(CQuellmarkDoc& doc, char** a) {
    report::ReportTally tally = report::TallyYear(doc, std::atoi(a[0]));
    const report::AnnualFigures figures{std::atoi(a[1]), float(std::atof(a[2]))};
    return report::BuildReportText(doc, report::HospitalInfoOf(doc), tally, figures).str();
}

int usage() {
    std::cerr
        << "usage: vora_testkit make FILE N [SEED] | example FILE | cases FILE NAME@Y-M-D... | "
           "patient FILE INDEX ID KANA HEIGHT WEIGHT SEX PREOPCODE COMMENT | dump FILE | "
           "get FILE KEY | passwords FILE ADMIN USER | list FILE LIST NAME... | "
           "export FILE OUT | workbook FILE OUT | reportable FILE NAME@Y-M-D[@WHO]... | "
           "report FILE YEAR OPERATIONS ROTATORS | set FILE INDEX KEY VALUE | "
           "check-indexes FILE [INDEX...]\n";
    return 2;
}

// The saved index fields against inserting the cases one by one in file order and then each
// corrected case again, in the order given.
int checkIndexes(const std::string& file, char** corrected, int count) {
    CQuellmarkDoc doc(file);
    std::vector<CCaseRecord> cases;
    for (int i = 0; i < doc.GetRecordCount(); ++i) {
        cases.push_back(doc.GetRecord(i));
    }
    testing_support::ReferenceIndexes reference(cases);
    for (int i = 0; i < count; ++i) {
        const int index = std::atoi(corrected[i]);
        if (index < 0 || index >= doc.GetRecordCount()) {
            return usage();
        }
        reference.Replace(index, doc.GetRecord(index));
    }
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string mismatch = testing_support::SavedIndexMismatch(bytes, reference.Indexes());
    if (!mismatch.empty()) {
        std::cerr << mismatch << "\n";
        return 1;
    }
    std::cout << "indexes ok: " << doc.GetRecordCount() << " cases\n";
    return 0;
}

bool save(CQuellmarkDoc& doc) {
    CString error;
    if (!doc.SaveDataFile(&error)) {
        std::cerr << error.ToUtf8() << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return usage();
    }
    std::string command = argv[1];
    std::string file = argv[2];
    try {
        if (command == "make" && argc >= 4) {
            CQuellmarkDoc doc(CQuellmarkDoc::NoFile{}, file);
            testing_support::FillDocument(doc, std::atoi(argv[3]),
                                          argc >= 5 ? std::uint32_t(std::atoi(argv[4])) : 1);
            return save(doc) ? 0 : 1;
        }
        if (command == "example") {
            CQuellmarkDoc doc(CQuellmarkDoc::NoFile{}, file);
            testing_support::FillExampleDocument(doc);
            return save(doc) ? 0 : 1;
        }
        if (command == "cases") {
            CQuellmarkDoc doc(CQuellmarkDoc::NoFile{}, file);
            for (int i = 3; i < argc; ++i) {
                std::string arg = argv[i];
                std::size_t at = arg.rfind('@');
                int y = 2010, m = 1, d = 1;
                if (at == std::string::npos ||
                    std::sscanf(arg.c_str() + at + 1, "%d-%d-%d", &y, &m, &d) != 3) {
                    return usage();
                }
                doc.AddRecord(testing_support::BlankCase(arg.substr(0, at).c_str(), y, m, d));
            }
            return save(doc) ? 0 : 1;
        }
        if (command == "reportable") {
            CQuellmarkDoc doc(CQuellmarkDoc::NoFile{}, file);
            for (int i = 3; i < argc; ++i) {
                if (!addReportable(doc, argv[i])) {
                    return usage();
                }
            }
            return save(doc) ? 0 : 1;
        }
        if (command == "report" && argc == 6) {
            CQuellmarkDoc doc(file);
            std::cout << reportText(doc, argv + 3);
            return 0;
        }
        if (command == "passwords" && argc >= 5) {
            CQuellmarkDoc doc(file);
            CString admin;
            CString user;
            CString::FromUtf8(argv[3], admin);
            CString::FromUtf8(argv[4], user);
            doc.SetPasswords(admin, user);
            return save(doc) ? 0 : 1;
        }
        if (command == "list" && argc >= 4) {
            CQuellmarkDoc doc(file);
            for (const MasterList& list : kMasterLists) {
                if (list.key == std::string(argv[3])) {
                    for (int i = 4; i < argc; ++i) {
                        CString name;
                        CString::FromUtf8(argv[i], name);
                        (doc.*list.get)().Add(name);
                    }
                    return save(doc) ? 0 : 1;
                }
            }
            return usage();
        }
        if (command == "export" && argc >= 4) {
            CString error;
            if (!registry::ExportCaseList(CQuellmarkDoc(file), argv[3], &error)) {
                std::cerr << error.ToUtf8() << "\n";
                return 1;
            }
            return 0;
        }
        if (command == "workbook" && argc >= 4) {
            CString error;
            if (!registry::ExportWorkbook(CQuellmarkDoc(file), argv[3], &error)) {
                std::cerr << error.ToUtf8() << "\n";
                return 1;
            }
            return 0;
        }
        if (command == "patient" && argc == 11) {
            CQuellmarkDoc doc(file);
            if (!setPatient(doc, argv + 3)) {
                return usage();
            }
            return save(doc) ? 0 : 1;
        }
        if (command == "check-indexes") {
            return checkIndexes(file, argv + 3, argc - 3);
        }
        if (command == "set" && argc == 6) {
            CQuellmarkDoc doc(file);
            if (!setCaseMember(doc, argv + 3)) {
                return usage();
            }
            return save(doc) ? 0 : 1;
        }
        if (command == "dump") {
            CQuellmarkDoc doc(file);
            std::cout << dump(doc);
            return 0;
        }
        if (command == "get" && argc >= 4) {
            CQuellmarkDoc doc(file);
            std::istringstream lines(dump(doc));
            std::string key = std::string(argv[3]) + ": ";
            for (std::string line; std::getline(lines, line);) {
                if (line.rfind(key, 0) == 0) {
                    std::cout << line.substr(key.size()) << "\n";
                    return 0;
                }
            }
            std::cerr << "no such key: " << argv[3] << "\n";
            return 1;
        }
    } catch (const fw::CFileException& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return usage();
}
