#pragma once
// One anesthesia case: patient, surgery, anesthesia, fluids and blood products, comorbidities,
// remarks, the link to its coded incident and the drug incident note. A plain value: copies
// are independent, and the class checks and converts nothing.
//
// A registry holds a million of these, so the layout counts: the numbers lie in the object,
// and the 23 texts share one heap block of their own (registry::CaseTexts) instead of one
// text object each. Texts are handed out and taken in by value.

#include "framework/String.h"
#include "framework/Time32.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace registry {

// Room for the text blocks of a whole registry, handed out one after the other from large
// chunks and freed all at once when the arena goes: loading a million cases then costs a few
// allocations instead of a million. A case whose block lies here does not own it, so the
// arena must outlive every case that refers to it; copies of such a case own their block.
class TextArena {
public:
    TextArena() = default;
    TextArena(TextArena&& other) noexcept { swap(other); }
    TextArena& operator=(TextArena&& other) noexcept {
        swap(other);
        return *this;
    }
    // The cases of a copied document own copies of their blocks: nothing to share.
    TextArena(const TextArena&) noexcept {}
    TextArena& operator=(const TextArena&) noexcept { return *this; }
    ~TextArena();

    // bytes of room, aligned for 32-bit values.
    void* Allocate(std::size_t bytes);

private:
    struct Chunk {
        void* bytes;
        std::size_t size;
    };
    void swap(TextArena& other) noexcept {
        m_chunks.swap(other.m_chunks);
        std::swap(m_used, other.m_used);
    }

    std::vector<Chunk> m_chunks;
    std::size_t m_used = 0; // bytes used of the last chunk
};

// The texts of one case in one heap block: the end offset of each text, then the bytes of all
// of them one after the other. No block at all stands for 23 empty texts.
class CaseTexts {
public:
    static constexpr int kCount = 23;

    CaseTexts() noexcept = default;
    CaseTexts(const CaseTexts& other);
    CaseTexts(CaseTexts&& other) noexcept : m_bits(std::exchange(other.m_bits, 0)) {}
    CaseTexts& operator=(const CaseTexts& other);
    CaseTexts& operator=(CaseTexts&& other) noexcept {
        std::swap(m_bits, other.m_bits);
        return *this;
    }
    ~CaseTexts();

    std::string_view View(int slot) const noexcept {
        const std::uint32_t* b = block();
        if (!b) {
            return std::string_view("", 0); // never a null pointer, which copying may not take
        }
        const std::uint32_t begin = slot > 0 ? b[slot - 1] : 0;
        return {reinterpret_cast<const char*>(b + kCount) + begin, b[slot] - begin};
    }
    void Set(int slot, std::string_view text);
    // All texts at once: ends[i] is where text i ends in bytes (the loader's way in). With an
    // arena the block lies there, else the case owns it.
    void Assign(const std::uint32_t (&ends)[kCount], const char* bytes, TextArena* arena = nullptr);
    // Moves a block of the case's own into the arena, beside the blocks moved before it.
    void MoveInto(TextArena& arena);

    // Asks for the table of ends and the texts after it to be brought near (those of a usual
    // case fit in four cache lines).
    void Prefetch() const noexcept {
        const char* p = reinterpret_cast<const char*>(block());
        if (!p) {
            return;
        }
        for (int line = 0; line < 4; ++line) {
            __builtin_prefetch(p + 64 * line);
        }
    }

    friend bool operator==(const CaseTexts& a, const CaseTexts& b) noexcept;

private:
    static constexpr std::uintptr_t kBorrowed = 1;

    const std::uint32_t* block() const noexcept {
        return reinterpret_cast<const std::uint32_t*>(m_bits & ~kBorrowed);
    }
    bool owned() const noexcept { return (m_bits & kBorrowed) == 0; }
    void replaceBlock(std::uint32_t* block, bool borrowed) noexcept;

    // The block's address, its lowest bit set when the block lies in an arena; 0 for no block.
    std::uintptr_t m_bits = 0;
};

} // namespace registry

// Declares a member with its getter and setter.
#define VORA_CASE_FIELD(Type, Name)                                                                \
public:                                                                                            \
    const Type& Get##Name() const noexcept {                                                       \
        return m_##Name;                                                                           \
    }                                                                                              \
    void Set##Name(const Type& value) {                                                            \
        m_##Name = value;                                                                          \
    }                                                                                              \
                                                                                                   \
private:                                                                                           \
    Type m_##Name{};

// Declares the getter and setter of a text kept in the text block.
#define VORA_CASE_TEXT(Name)                                                                       \
public:                                                                                            \
    CString Get##Name() const {                                                                    \
        return CString(m_texts.View(k##Name));                                                     \
    }                                                                                              \
    void Set##Name(const CString& value) {                                                         \
        m_texts.Set(k##Name, value.view());                                                        \
    }

class CCaseRecord {
public:
    // Places of the texts in the text block, in the order the data file holds them.
    enum TextSlot : int {
        kAnesthesiologist0,
        kAnesthesiologist1,
        kAnesthesiologist2,
        kstrAnesthesiaTime,
        kstrAsa,
        kstrTransfusionNote,
        kstrOtherProductName,
        kstrBloodLossNote,
        kstrDisease,
        kstrPreopComment,
        kstrDepartment,
        kstrDrugIncident,
        kstrNotes,
        kstrId,
        kstrName,
        kstrKana,
        kstrProcedure,
        kstrOperatingRoom,
        kstrSurgeryTime,
        kstrWard,
        kSupervisor0,
        kSupervisor1,
        kSupervisor2,
        kTextSlotCount
    };
    static_assert(kTextSlotCount == registry::CaseTexts::kCount);

    // A text without copying it; valid until the case changes or goes.
    std::string_view TextView(TextSlot slot) const noexcept { return m_texts.View(slot); }
    const registry::CaseTexts& Texts() const noexcept { return m_texts; }
    registry::CaseTexts& Texts() noexcept { return m_texts; }

    VORA_CASE_TEXT(strName)
    VORA_CASE_TEXT(strKana)
    VORA_CASE_FIELD(int, bWithhold)
    VORA_CASE_TEXT(strId)
    VORA_CASE_FIELD(int, nAgeYears)
    VORA_CASE_FIELD(int, nAgeMonths)
    VORA_CASE_FIELD(int, nAgeDays)
    VORA_CASE_FIELD(int, nIncidentIndex)
    VORA_CASE_FIELD(int, nSex)
    VORA_CASE_TEXT(strDisease)
    VORA_CASE_TEXT(strProcedure)
    VORA_CASE_FIELD(float, fHeight)
    VORA_CASE_FIELD(float, fWeight)
    VORA_CASE_FIELD(fw::Time32, tSurgery)
    VORA_CASE_TEXT(strWard)
    VORA_CASE_TEXT(strOperatingRoom)
    VORA_CASE_FIELD(int, nMethod)
    VORA_CASE_FIELD(int, nSite)
    VORA_CASE_FIELD(int, nPreopCode)
    VORA_CASE_TEXT(strPreopComment)
    VORA_CASE_FIELD(int, nPosition)

public:
    static constexpr int kPeople = 3;
    CString GetAnesthesiologist(int i) const {
        return CString(m_texts.View(kAnesthesiologist0 + i));
    }
    void SetAnesthesiologist(int i, const CString& name) {
        m_texts.Set(kAnesthesiologist0 + i, name.view());
    }
    CString GetSupervisor(int i) const { return CString(m_texts.View(kSupervisor0 + i)); }
    void SetSupervisor(int i, const CString& name) { m_texts.Set(kSupervisor0 + i, name.view()); }

    VORA_CASE_TEXT(strDepartment)
    VORA_CASE_TEXT(strAsa)
    VORA_CASE_TEXT(strAnesthesiaTime)
    VORA_CASE_TEXT(strSurgeryTime)
    VORA_CASE_TEXT(strNotes)
    VORA_CASE_TEXT(strTransfusionNote)
    VORA_CASE_TEXT(strBloodLossNote)
    VORA_CASE_FIELD(int, nMapUnit)
    VORA_CASE_FIELD(int, nFfpUnit)
    VORA_CASE_FIELD(int, nPcUnit)
    VORA_CASE_FIELD(int, nAutologousUnit)
    VORA_CASE_FIELD(int, nWholeBloodUnit)
    VORA_CASE_FIELD(int, nOtherUnit)
    VORA_CASE_FIELD(int, nMap)
    VORA_CASE_FIELD(int, nFfp)
    VORA_CASE_FIELD(int, nPc)
    VORA_CASE_FIELD(int, nAutologous)
    VORA_CASE_FIELD(int, nWholeBlood)
    VORA_CASE_FIELD(int, nOtherProduct)
    VORA_CASE_FIELD(int, nAlbumin)
    VORA_CASE_TEXT(strOtherProductName)
    VORA_CASE_FIELD(int, nCrystalloid)
    VORA_CASE_FIELD(int, nColloid)
    VORA_CASE_FIELD(int, nUrine)
    VORA_CASE_FIELD(int, nBloodLoss)
    VORA_CASE_TEXT(strDrugIncident)

public:
    // Amount and unit code of a blood product are always set together.
    void SetMap(int amount, int unit) { m_nMap = amount, m_nMapUnit = unit; }
    void SetFfp(int amount, int unit) { m_nFfp = amount, m_nFfpUnit = unit; }
    void SetPc(int amount, int unit) { m_nPc = amount, m_nPcUnit = unit; }
    void SetAutologous(int amount, int unit) { m_nAutologous = amount, m_nAutologousUnit = unit; }
    void SetWholeBlood(int amount, int unit) { m_nWholeBlood = amount, m_nWholeBloodUnit = unit; }
    void SetOtherProduct(const CString& name, int amount, int unit) {
        m_texts.Set(kstrOtherProductName, name.view()), m_nOtherProduct = amount,
                                                        m_nOtherUnit = unit;
    }
    void SetInfusion(int crystalloid, int colloid) {
        m_nCrystalloid = crystalloid, m_nColloid = colloid;
    }

    // An emergency case carries an E in its ASA physical status.
    bool IsEmergency() const { return GetstrAsa().Find('E') >= 0; }

    friend bool operator==(const CCaseRecord&, const CCaseRecord&) = default;

private:
    registry::CaseTexts m_texts;
};

#undef VORA_CASE_FIELD
#undef VORA_CASE_TEXT
