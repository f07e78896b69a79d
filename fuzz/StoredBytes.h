#pragma once
// What a document saves, as bytes in memory: the fuzz targets check that it loads again.

#include "registry/QuellmarkDoc.h"

#include <string>

inline std::string StoredBytes(CQuellmarkDoc& doc) {
    fw::CMemFile file;
    fw::CArchive ar(file, fw::CArchive::store);
    doc.Serialize(ar);
    ar.Flush();
    return file.Bytes();
}
