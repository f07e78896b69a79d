#pragma once
// The framework archive: little-endian int32 and float, and texts with a length prefix of one
// byte below 255, 0xFF and a uint16 below 0xFFFE, or 0xFF 0xFFFF and a uint32.
//
// Loading never trusts the file: a read past the end or a length beyond the bytes that remain
// throws CArchiveException with the offset where the damaged field starts.

#include "framework/File.h"
#include "framework/String.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "the archive copies little-endian numbers");

namespace fw {

class CArchive {
public:
    enum Mode { load, store };

    CArchive(CFile& file, Mode mode, std::size_t bufferSize = 64 * 1024);
    ~CArchive(); // flushes a storing archive only through Close, never silently
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const noexcept { return m_mode == load; }
    bool IsStoring() const noexcept { return m_mode == store; }
    CFile& GetFile() noexcept { return m_file; }

    // Offset of the next byte to read or write, from the start of the file.
    std::uint64_t GetPosition() const noexcept { return m_base + m_pos; }
    // Bytes left to read (loading).
    std::uint64_t Remaining() const noexcept { return m_fileLength - GetPosition(); }

    CArchive& operator<<(std::int32_t v);
    CArchive& operator<<(float v);
    CArchive& operator<<(const CString& text);
    CArchive& operator>>(std::int32_t& v);
    CArchive& operator>>(float& v);
    CArchive& operator>>(CString& text);

    void Write(const void* bytes, std::size_t n);
    void Read(void* bytes, std::size_t n); // all n bytes or CArchiveException
    // A text's bytes without length or terminator.
    void WriteString(const CString& text) { Write(text.data(), std::size_t(text.GetLength())); }

    // Loading reads tens of millions of small fields: these take them straight from the
    // buffer when it holds them, and leave the edges and the damage to the general path.
    std::int32_t ReadInt32() {
        if (m_end - m_pos >= 4) {
            std::uint32_t u;
            std::memcpy(&u, m_buffer.data() + m_pos, 4);
            m_pos += 4;
            return std::int32_t(u);
        }
        std::int32_t v;
        *this >> v;
        return v;
    }
    void ReadText(CString& text) {
        if (m_pos < m_end) {
            auto n = static_cast<unsigned char>(m_buffer[m_pos]);
            if (n < 0xFF && m_end - m_pos > n) {
                text = std::string_view(m_buffer.data() + m_pos + 1, n);
                m_pos += 1 + std::size_t(n);
                return;
            }
        }
        *this >> text;
    }

    // The bytes of the next text, added to the end of out.
    void AppendText(std::string& out) {
        if (m_pos < m_end) {
            auto n = static_cast<unsigned char>(m_buffer[m_pos]);
            if (n < 0xFF && m_end - m_pos > n) {
                out.append(m_buffer.data() + m_pos + 1, n);
                m_pos += 1 + std::size_t(n);
                return;
            }
        }
        appendLongText(out);
    }

    // The length prefix of the next text, checked against the bytes that remain.
    std::uint32_t ReadTextLength();
    void WriteTextLength(std::uint32_t n);

    // Raises damage at the given offset (or the current one).
    [[noreturn]] void Fail(const CString& reason, std::uint64_t offset);
    [[noreturn]] void Fail(const CString& reason) { Fail(reason, GetPosition()); }

    void Flush();
    void Close() { Flush(); }

private:
    bool refill();
    void appendLongText(std::string& out);

    CFile& m_file;
    Mode m_mode;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;    // next byte in the buffer
    std::size_t m_end = 0;    // bytes held (loading)
    std::uint64_t m_base = 0; // file offset of the buffer's first byte
    std::uint64_t m_fileLength = 0;
};

} // namespace fw
