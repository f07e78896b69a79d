#pragma once
// Counted byte string in code page 932 (Shift-JIS), the text type of the whole program.
//
// Lengths, limits and cuts count bytes. The object is 16 bytes: texts of up to 15 bytes live
// inside it, longer ones in one heap block. A registry of a million cases holds some twenty
// million of these, most of them short or empty, so the size matters.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CString {
public:
    CString() noexcept { setInline(0); }
    CString(const char* text);
    CString(const char* bytes, int length);
    CString(std::string_view bytes);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator=(std::string_view bytes);
    CString& operator=(const char* text) { return *this = std::string_view(text); }
    ~CString();

    int GetLength() const noexcept { return int(size()); }
    bool IsEmpty() const noexcept { return size() == 0; }
    void Empty();

    // Always followed by a NUL byte, although the text itself may contain NUL bytes.
    const char* data() const noexcept { return isHeap() ? m_heap.ptr : m_inline; }
    const char* c_str() const noexcept { return data(); }
    std::string_view view() const noexcept { return {data(), size()}; }
    std::string str() const { return std::string(view()); }
    operator std::string_view() const noexcept { return view(); }

    char GetAt(int i) const { return data()[i]; }
    char operator[](int i) const { return data()[i]; }
    void SetAt(int i, char c) { writable()[i] = c; }
    // Resizes to n bytes (new bytes are zero) and returns the bytes for writing.
    char* GetBufferSetLength(int n);

    CString& operator+=(std::string_view bytes);
    CString& operator+=(const CString& other) { return *this += other.view(); }
    CString& operator+=(const char* text) { return *this += std::string_view(text); }
    CString& operator+=(char c) { return *this += std::string_view(&c, 1); }

    friend bool operator==(const CString& a, const CString& b) noexcept {
        return a.view() == b.view();
    }
    friend bool operator==(const CString& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(const CString& a, const char* b) noexcept {
        return a.view() == std::string_view(b);
    }

    // Position of the first occurrence of sub that starts on a character boundary at or after
    // start, or -1. An empty sub is found at start.
    int Find(std::string_view sub, int start = 0) const;
    int Find(char c, int start = 0) const { return Find(std::string_view(&c, 1), start); }

    CString Left(int n) const;
    CString Mid(int first) const;
    CString Mid(int first, int n) const;
    // The first n bytes at most, never ending in the first half of a double-byte character.
    CString LeftWhole(int n) const;

    // printf formatting in the C locale, whatever locale the process runs in.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    static CString Formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // The text order of the sort indexes: character by character, a double-byte character
    // counting as lead * 256 + trail; a NUL byte or a lead byte without its trail ends the text.
    int Compare(const CString& other) const noexcept { return Compare(view(), other.view()); }
    static int Compare(std::string_view a, std::string_view b) noexcept;

    // The bytes that the text order reads: up to a NUL byte or a lead byte without its trail.
    // Two texts compare equal exactly when these bytes are equal.
    std::string_view OrderedBytes() const noexcept { return OrderedBytes(view()); }
    static std::string_view OrderedBytes(std::string_view text) noexcept;
    // Four characters of text from byte offset on, as four 16-bit values, the first in the top
    // bits, zero after the end; offset moves past them, to the end once the text has ended.
    // Comparing the chunks of two texts in turn orders them as Compare does; after a chunk whose
    // last character is 0 nothing follows.
    static std::uint64_t SortChunk(std::string_view text, std::uint32_t& offset) noexcept;

    // Conversion at the edge. FromUtf8 fails when a character has no cp932 form.
    static bool FromUtf8(std::string_view utf8, CString& out);
    std::string ToUtf8() const;

private:
    struct Heap {
        char* ptr;
        std::uint32_t size;
        char pad[3];
        unsigned char tag;
    };
    static constexpr unsigned char kHeapTag = 0xFF;

    bool isHeap() const noexcept { return m_heap.tag == kHeapTag; }
    std::size_t size() const noexcept {
        return isHeap() ? m_heap.size : std::size_t(15 - static_cast<unsigned char>(m_inline[15]));
    }
    void setInline(std::size_t n) noexcept {
        m_inline[n] = 0;
        m_inline[15] = char(15 - n);
    }
    void assign(const char* bytes, std::size_t n);
    void release() noexcept;
    char* writable() noexcept { return isHeap() ? m_heap.ptr : m_inline; }
    void resize(std::size_t n);
    std::size_t capacity() const noexcept;

    union {
        Heap m_heap;
        char m_inline[16];
    };
};

static_assert(sizeof(CString) == 16);

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, std::string_view b);
CString operator+(std::string_view a, const CString& b);

namespace fw {

// Position of the first occurrence of sub in text that starts on a character boundary at or
// after start, or -1. An empty sub is found at start.
int FindInText(std::string_view text, std::string_view sub, int start = 0);

} // namespace fw

// The program's own Japanese texts are written as readable UTF-8 literals: "ﾚﾃﾞｨ"_sj is that text
// in cp932, converted once and kept for the rest of the run.
const CString& operator""_sj(const char* utf8, std::size_t length);
