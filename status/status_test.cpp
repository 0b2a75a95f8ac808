#include "status/status.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

// Concrete records, as the modules that fill them derive them. Each class's
// Refresh counts its calls, which shows which table an object dispatches
// through.
struct Tray final : CTrayStatus {
    Tray() = default;
    Tray(const Tray& other) = default;
    Tray& operator=(const Tray& other) = default;
    void Refresh() override { ++refreshes; }
    int refreshes = 0;
};
struct OtherTray final : CTrayStatus {
    void Refresh() override { ++refreshes; }
    int refreshes = 0;
};
struct Consumables final : CConsumablesStatus {
    Consumables() = default;
    Consumables(const Consumables& other) = default;
    Consumables& operator=(const Consumables& other) = default;
    void Refresh() override {}
};
struct General final : CGeneralPrinterStatus {
    General() = default;
    General(const General& other) = default;
    General& operator=(const General& other) = default;
    void Refresh() override {}
};

// Fills every text unit, so nothing is terminated, and gives each value a
// distinct pattern.
void FillText(WCHAR (&text)[klv::kStatusTextUnits], unsigned seed) {
    for (int i = 0; i < klv::kStatusTextUnits; ++i)
        text[i] = static_cast<WCHAR>(0x4100 + seed * 97 + i);
}

Tray MakeTray(unsigned seed) {
    Tray tray;
    tray.value0 = 0xA0000000u + seed;
    FillText(tray.text0, seed);
    for (int e = 0; e < klv::kTrayEntries; ++e) {
        const DWORD base = seed * 1000 + e * 10;
        tray.entries[e] = TrayEntry{base, base + 1, base + 2, base + 3, base + 4, base + 5, base + 6};
    }
    return tray;
}

Consumables MakeConsumables(unsigned seed) {
    Consumables c;
    c.value0 = seed + 1;
    c.value1 = seed + 2;
    c.value2 = 0xFFFFFFFFu - seed;
    c.value3 = seed << 20;
    FillText(c.text0, seed);
    return c;
}

General MakeGeneral(unsigned seed) {
    General g;
    g.byte0 = static_cast<BYTE>(seed + 1);
    g.value0 = 0x12345678u ^ seed;
    g.byte1 = static_cast<BYTE>(seed + 2);
    g.byte2 = static_cast<BYTE>(seed + 3);
    g.byte3 = static_cast<BYTE>(0xFF - seed);
    FillText(g.text0, seed);
    FillText(g.text1, seed + 5);
    return g;
}

// Compares the members, not the padding or the table pointer.
bool SameMembers(const CTrayStatus& a, const CTrayStatus& b) {
    return a.value0 == b.value0 && std::memcmp(a.text0, b.text0, sizeof a.text0) == 0 &&
           std::memcmp(a.entries, b.entries, sizeof a.entries) == 0;
}
bool SameMembers(const CConsumablesStatus& a, const CConsumablesStatus& b) {
    return a.value0 == b.value0 && a.value1 == b.value1 && a.value2 == b.value2 && a.value3 == b.value3 &&
           std::memcmp(a.text0, b.text0, sizeof a.text0) == 0;
}
bool SameMembers(const CGeneralPrinterStatus& a, const CGeneralPrinterStatus& b) {
    return a.byte0 == b.byte0 && a.value0 == b.value0 && a.byte1 == b.byte1 && a.byte2 == b.byte2 &&
           a.byte3 == b.byte3 && std::memcmp(a.text0, b.text0, sizeof a.text0) == 0 &&
           std::memcmp(a.text1, b.text1, sizeof a.text1) == 0;
}

const void* TablePointer(const void* object) {
    const void* table;
    std::memcpy(&table, object, sizeof table);
    return table;
}

template <typename Record> std::ptrdiff_t OffsetIn(const Record& record, const void* member) {
    return static_cast<const BYTE*>(member) - reinterpret_cast<const BYTE*>(&record);
}

// Each case builds a source and copies it the three ways.
template <typename Make> void CheckCopies(Make make) {
    const auto source = make(3);
    auto copied(source);
    EXPECT_TRUE(SameMembers(copied, source));

    auto assigned = make(8);
    const void* table = TablePointer(&assigned);
    assigned = source;
    EXPECT_TRUE(SameMembers(assigned, source));
    EXPECT_EQ(TablePointer(&assigned), table);

    auto self = make(5);
    const auto before = make(5);
    auto& alias = self;
    self = alias;
    EXPECT_TRUE(SameMembers(self, before));
}

TEST(StatusRecords, CopiesAndAssignmentsTakeEveryMember) {
    {
        SCOPED_TRACE("CTrayStatus");
        CheckCopies(MakeTray);
    }
    {
        SCOPED_TRACE("CConsumablesStatus");
        CheckCopies(MakeConsumables);
    }
    {
        SCOPED_TRACE("CGeneralPrinterStatus");
        CheckCopies(MakeGeneral);
    }
}

TEST(StatusRecords, UnterminatedTextIsCopiedWhole) {
    const Tray source = MakeTray(1);
    Tray target = MakeTray(2);
    static_cast<CTrayStatus&>(target) = source;
    for (int i = 0; i < klv::kStatusTextUnits; ++i)
        EXPECT_EQ(target.text0[i], source.text0[i]) << "unit " << i;

    General general = MakeGeneral(4);
    general.text0[10] = 0; // a terminator mid-way stops nothing
    const General copy(general);
    EXPECT_EQ(copy.text0[11], general.text0[11]);
    EXPECT_EQ(copy.text1[63], general.text1[63]);
}

TEST(StatusRecords, AssignmentThroughTheBaseKeepsTheTargetsTable) {
    Tray tray = MakeTray(1);
    OtherTray other;
    static_cast<CTrayStatus&>(other) = tray;
    EXPECT_TRUE(SameMembers(other, tray));

    CTrayStatus& asBase = other;
    asBase.Refresh();
    EXPECT_EQ(other.refreshes, 1);
    EXPECT_EQ(tray.refreshes, 0);
}

TEST(StatusRecords, MembersSitAtTheSharedOffsets) {
    const std::ptrdiff_t p = sizeof(void*);
    const Tray tray{};
    const Consumables consumables{};
    const General general{};
    const struct {
        const char* member;
        std::ptrdiff_t offset;
        std::ptrdiff_t expected;
    } cases[] = {
        {"tray value0", OffsetIn(tray, &tray.value0), p},
        {"tray text0", OffsetIn(tray, tray.text0), p + 4},
        {"tray entries", OffsetIn(tray, tray.entries), p + 132},
        {"tray entry 9", OffsetIn(tray, &tray.entries[9].item6), p + 132 + 9 * 28 + 24},
        {"consumables value3", OffsetIn(consumables, &consumables.value3), p + 12},
        {"consumables text0", OffsetIn(consumables, consumables.text0), p + 16},
        {"general byte0", OffsetIn(general, &general.byte0), p},
        {"general value0", OffsetIn(general, &general.value0), p + 4},
        {"general byte3", OffsetIn(general, &general.byte3), p + 10},
        {"general text0", OffsetIn(general, general.text0), p + 12},
        {"general text1", OffsetIn(general, general.text1), p + 140},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.offset, c.expected) << c.member;
}

} // namespace
