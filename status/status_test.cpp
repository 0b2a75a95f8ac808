#include "status/status.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

// Concrete records, as the modules that fill them derive them; Tag makes
// classes of their own, with tables of their own.
template <typename Base, int Tag = 0> struct Record final : Base {
    void Refresh() override {}
};
using Tray = Record<CTrayStatus>;
using Consumables = Record<CConsumablesStatus>;
using General = Record<CGeneralPrinterStatus>;

// A record with a pattern in every byte past the table pointer: no two
// neighbouring bytes are both zero, so no text holds a terminator.
template <typename T> T Make(unsigned seed) {
    T record;
    auto* bytes = reinterpret_cast<BYTE*>(&record);
    for (std::size_t i = sizeof(void*); i < sizeof record; ++i)
        bytes[i] = static_cast<BYTE>(seed * 31 + i);
    return record;
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

template <typename T> void CheckCopies() {
    T source = Make<T>(3);
    source.text0[10] = 0; // a terminator mid-way stops nothing
    const T copied(source);
    EXPECT_TRUE(SameMembers(copied, source));
    T assigned = Make<T>(8);
    assigned = source;
    EXPECT_TRUE(SameMembers(assigned, source));
    T self = Make<T>(5);
    T& alias = self;
    self = alias;
    EXPECT_TRUE(SameMembers(self, Make<T>(5)));
}

TEST(StatusRecords, CopiesAndAssignmentsTakeEveryMemberWhole) {
    CheckCopies<Tray>();
    CheckCopies<Consumables>();
    CheckCopies<General>();
}

TEST(StatusRecords, AssignmentThroughTheBaseKeepsTheTargetsTable) {
    const Tray tray = Make<Tray>(1);
    Record<CTrayStatus, 1> other;
    const void* table = nullptr;
    std::memcpy(&table, static_cast<const void*>(&other), sizeof table);
    static_cast<CTrayStatus&>(other) = tray;
    EXPECT_TRUE(SameMembers(other, tray));
    const void* after = nullptr;
    std::memcpy(&after, static_cast<const void*>(&other), sizeof after);
    EXPECT_EQ(after, table);
}

template <typename R> std::ptrdiff_t OffsetIn(const R& record, const void* member) {
    return static_cast<const BYTE*>(member) - reinterpret_cast<const BYTE*>(&record);
}

TEST(StatusRecords, MembersSitAtTheSharedOffsets) {
    const std::ptrdiff_t p = sizeof(void*);
    const Tray tray{};
    const Consumables consumables{};
    const General general{};
    EXPECT_EQ(OffsetIn(tray, tray.text0), p + 4);
    EXPECT_EQ(OffsetIn(tray, tray.entries), p + 132);
    EXPECT_EQ(OffsetIn(consumables, consumables.text0), p + 16);
    EXPECT_EQ(OffsetIn(general, &general.value0), p + 4);
    EXPECT_EQ(OffsetIn(general, &general.byte3), p + 10);
    EXPECT_EQ(OffsetIn(general, general.text0), p + 12);
}

} // namespace
