#include "framework/Archive.h"

#include <algorithm>
#include <cstring>

namespace fw {
namespace {

void putLE32(char* p, std::uint32_t v) {
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
    p[2] = char((v >> 16) & 0xFF);
    p[3] = char((v >> 24) & 0xFF);
}

std::uint32_t getLE32(const char* p) {
    auto b = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
           (std::uint32_t(b[3]) << 24);
}

} // namespace

CArchive::CArchive(CFile& file, Mode mode, std::size_t bufferSize)
    : m_file(file), m_mode(mode), m_buffer(std::max<std::size_t>(bufferSize, 16)) {
    if (mode == load) {
        m_fileLength = file.GetLength();
    }
}

CArchive::~CArchive() = default;

void CArchive::Fail(const CString& reason, std::uint64_t offset) {
    throw CArchiveException(m_file.GetFilePath(), offset, reason);
}

bool CArchive::refill() {
    m_base += m_end;
    m_pos = 0;
    m_end = m_file.Read(m_buffer.data(), m_buffer.size());
    return m_end > 0;
}

void CArchive::Read(void* bytes, std::size_t n) {
    auto* out = static_cast<char*>(bytes);
    std::uint64_t start = GetPosition();
    while (n > 0) {
        if (m_pos == m_end && !refill()) {
            Fail("ファイルが途中で終わっています"_sj, start);
        }
        std::size_t take = std::min(n, m_end - m_pos);
        std::memcpy(out, m_buffer.data() + m_pos, take);
        m_pos += take;
        out += take;
        n -= take;
    }
}

void CArchive::Write(const void* bytes, std::size_t n) {
    auto* in = static_cast<const char*>(bytes);
    while (n > 0) {
        if (m_pos == m_buffer.size()) {
            Flush();
        }
        std::size_t take = std::min(n, m_buffer.size() - m_pos);
        std::memcpy(m_buffer.data() + m_pos, in, take);
        m_pos += take;
        in += take;
        n -= take;
    }
}

void CArchive::Flush() {
    if (m_mode == store && m_pos > 0) {
        m_file.Write(m_buffer.data(), m_pos);
        m_base += m_pos;
        m_pos = 0;
    }
}

CArchive& CArchive::operator<<(std::int32_t v) {
    char bytes[4];
    putLE32(bytes, std::uint32_t(v));
    Write(bytes, 4);
    return *this;
}

CArchive& CArchive::operator<<(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return *this << std::int32_t(bits);
}

CArchive& CArchive::operator>>(std::int32_t& v) {
    char bytes[4];
    Read(bytes, 4);
    v = std::int32_t(getLE32(bytes));
    return *this;
}

CArchive& CArchive::operator>>(float& v) {
    std::int32_t bits;
    *this >> bits;
    std::memcpy(&v, &bits, 4);
    return *this;
}

void CArchive::WriteTextLength(std::uint32_t n) {
    unsigned char prefix[7];
    std::size_t used = 0;
    if (n < 0xFF) {
        prefix[used++] = static_cast<unsigned char>(n);
    } else {
        prefix[used++] = 0xFF;
        if (n < 0xFFFE) {
            prefix[used++] = static_cast<unsigned char>(n & 0xFF);
            prefix[used++] = static_cast<unsigned char>(n >> 8);
        } else {
            prefix[used++] = 0xFF;
            prefix[used++] = 0xFF;
            putLE32(reinterpret_cast<char*>(prefix + used), n);
            used += 4;
        }
    }
    Write(prefix, used);
}

std::uint32_t CArchive::ReadTextLength() {
    std::uint64_t start = GetPosition();
    unsigned char b;
    Read(&b, 1);
    std::uint32_t n = b;
    if (b == 0xFF) {
        unsigned char w[2];
        Read(w, 2);
        n = std::uint32_t(w[0]) | (std::uint32_t(w[1]) << 8);
        if (n == 0xFFFE) {
            Fail("文字列の長さの形式が不正です"_sj, start);
        }
        if (n == 0xFFFF) {
            char d[4];
            Read(d, 4);
            n = getLE32(d);
        }
    }
    if (n > Remaining() || n > 0x7FFFFFFFu) {
        Fail("文字列の長さがファイルの残りを超えています"_sj, start);
    }
    return n;
}

void CArchive::appendLongText(std::string& out) {
    const std::uint32_t n = ReadTextLength();
    const std::size_t at = out.size();
    out.resize(at + n);
    Read(out.data() + at, n);
}

CArchive& CArchive::operator<<(const CString& text) {
    WriteTextLength(std::uint32_t(text.GetLength()));
    WriteString(text);
    return *this;
}

CArchive& CArchive::operator>>(CString& text) {
    std::uint32_t n = ReadTextLength();
    char* bytes = text.GetBufferSetLength(int(n));
    Read(bytes, n);
    return *this;
}

} // namespace fw
