#pragma once
// Ordered list of texts: append at the end, removal moves the later ones up.

#include "framework/String.h"

#include <vector>

class CStringArray {
public:
    int GetSize() const noexcept { return int(m_items.size()); }
    bool IsEmpty() const noexcept { return m_items.empty(); }
    const CString& GetAt(int i) const { return m_items[std::size_t(i)]; }
    CString& ElementAt(int i) { return m_items[std::size_t(i)]; }
    const CString& operator[](int i) const { return GetAt(i); }
    CString& operator[](int i) { return ElementAt(i); }

    int Add(const CString& text) {
        m_items.push_back(text);
        return GetSize() - 1;
    }
    void SetAt(int i, const CString& text) { m_items[std::size_t(i)] = text; }
    // Grows the list with empty texts when i lies beyond its end.
    void SetAtGrow(int i, const CString& text) {
        if (i >= GetSize()) {
            m_items.resize(std::size_t(i) + 1);
        }
        SetAt(i, text);
    }
    void InsertAt(int i, const CString& text) { m_items.insert(m_items.begin() + i, text); }
    void RemoveAt(int i) { m_items.erase(m_items.begin() + i); }
    void RemoveAll() { m_items.clear(); }
    void SetSize(int n) { m_items.resize(std::size_t(n < 0 ? 0 : n)); }
    void Reserve(int n) { m_items.reserve(std::size_t(n < 0 ? 0 : n)); }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

    friend bool operator==(const CStringArray&, const CStringArray&) = default;

private:
    std::vector<CString> m_items;
};
