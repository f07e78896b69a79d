#include "registry/DataFileCheck.h"

#include "framework/File.h"
#include "registry/QuellmarkDoc.h"

#include <new>

namespace registry {

int VerifyDataFile(const std::string& path, std::ostream& out) {
    out << "file: " << path << "\n";
    try {
        bool missing = false;
        fw::CDiskFile probe(path, &missing);
        if (missing) {
            out << "status: error: "
                << "ファイルがありません"
                << "\n";
            return 1;
        }
        CQuellmarkDoc doc(path);
        out << "version: " << doc.GetFileVersion() << "\n"
            << "cases: " << doc.GetRecordCount() << "\n"
            << "incidents: " << doc.GetIncidentCount() << "\n"
            << "anesthesiologists: " << doc.GetAnesthesiologistList().GetSize() << "\n"
            << "supervisors: " << doc.GetSupervisorList().GetSize() << "\n"
            << "wards: " << doc.GetWardList().GetSize() << "\n"
            << "rooms: " << doc.GetRoomList().GetSize() << "\n"
            << "departments: " << doc.GetDepartmentList().GetSize() << "\n"
            << "status: ok\n";
        return 0;
    } catch (const fw::CFileException& e) {
        out << "status: error: " << e.what() << "\n";
    } catch (const std::bad_alloc&) {
        out << "status: error: "
            << "メモリが足りません"
            << "\n";
    }
    return 1;
}

} // namespace registry
