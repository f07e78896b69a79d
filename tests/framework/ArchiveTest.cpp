#include "framework/Archive.h"

#include <gtest/gtest.h>

using fw::CArchive;
using fw::CArchiveException;
using fw::CMemFile;

namespace {

std::string stored(const CString& text) {
    CMemFile file;
    CArchive ar(file, CArchive::store, 16);
    ar << text;
    ar.Flush();
    return file.Bytes();
}

} // namespace

TEST(ArchiveTest, NumbersAreLittleEndian) {
    CMemFile file;
    {
        CArchive ar(file, CArchive::store);
        ar << std::int32_t(0x01020304) << std::int32_t(-2) << 1.0f;
        ar.Flush();
    }
    EXPECT_EQ(file.Bytes(), std::string("\x04\x03\x02\x01\xfe\xff\xff\xff\x00\x00\x80\x3f", 12));
    CMemFile in(file.Bytes());
    CArchive ar(in, CArchive::load, 5);
    std::int32_t a, b;
    float f;
    ar >> a >> b >> f;
    EXPECT_EQ(a, 0x01020304);
    EXPECT_EQ(b, -2);
    EXPECT_EQ(f, 1.0f);
}

TEST(ArchiveTest, TextLengthPrefixesAtEveryBoundary) {
    struct Case {
        int length;
        std::string prefix;
    };
    const Case cases[] = {
        {0, std::string("\x00", 1)},
        {254, "\xfe"},
        {255, std::string("\xff\xff\x00", 3)},
        {65533, "\xff\xfd\xff"},
        {65534, std::string("\xff\xff\xff\xfe\xff\x00\x00", 7)},
        {70000, std::string("\xff\xff\xff\x70\x11\x01\x00", 7)},
    };
    for (const Case& c : cases) {
        CString text(std::string(std::size_t(c.length), 'q'));
        std::string bytes = stored(text);
        ASSERT_EQ(bytes.size(), c.prefix.size() + std::size_t(c.length)) << c.length;
        EXPECT_EQ(bytes.substr(0, c.prefix.size()), c.prefix) << c.length;
        CMemFile in(bytes);
        CArchive ar(in, CArchive::load, 100);
        CString back;
        ar >> back;
        EXPECT_EQ(back, text) << c.length;
        EXPECT_EQ(ar.Remaining(), 0u);
    }
}

TEST(ArchiveTest, DamageIsReportedWithItsOffset) {
    // A text claiming 200 bytes where 3 remain.
    CMemFile shortText(std::string("\x01\x00\x00\x00\xc8"
                                   "abc",
                                   8),
                       "test.dat");
    CArchive ar(shortText, CArchive::load);
    ar.ReadInt32();
    try {
        CString text;
        ar >> text;
        FAIL() << "a text longer than the file was read";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.Offset(), 4u);
        EXPECT_EQ(e.FileName(), "test.dat");
        EXPECT_NE(std::string(e.what()).find("test.dat"), std::string::npos);
    }
    // An int32 cut in half, and the Unicode marker that this format never writes.
    CMemFile half(std::string("\x01\x02", 2));
    CArchive ar2(half, CArchive::load);
    EXPECT_THROW(ar2.ReadInt32(), CArchiveException);
    CMemFile marker(std::string("\xff\xfe\xff"
                                "abcdef",
                                9));
    CArchive ar3(marker, CArchive::load);
    CString text;
    EXPECT_THROW(ar3 >> text, CArchiveException);
}
