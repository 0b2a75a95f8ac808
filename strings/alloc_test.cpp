// The string operations serve stack buffers on the injection path and must
// not touch the free store; the template filler allocates its result once.
// This program replaces the global allocation functions with counting ones.
#include "strings/ansi.h"
#include "strings/bounded.h"
#include "strings/escape.h"
#include "watermark/format_inserts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

namespace {

std::atomic<long> gAllocations{0};

void* Allocate(std::size_t size) {
    gAllocations.fetch_add(1);
    return std::malloc(size == 0 ? 1 : size);
}

// Kept out of line: once inlined into the replaced operator delete, g++
// takes the free() for a mismatch with the operator new it pairs with.
[[gnu::noinline]] void Release(void* p) noexcept {
    std::free(p);
}

} // namespace

void* operator new(std::size_t size) {
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Release(p);
}

namespace klv {
namespace {

TEST(Allocations, StringOperationsAllocateNothing) {
    char buffer[260];
    char small[8];
    const WCHAR wide[] = {u'W', u'a', 0x00E9, 0x4E00, 0xD83D, 0xDE00, 0};
    // The host's conversion opens its converter on first use; that belongs
    // to the platform layer, not to the operations measured here.
    AnsiFromWide(small, sizeof small, wide, 0xFFFFFFFF);

    const long before = gAllocations.load();
    BoundedCopy(buffer, sizeof buffer, "Q3 (final).txt");
    BoundedCopy(small, sizeof small, "longer than eight");
    WCHAR wideOut[4];
    BoundedCopyWide(wideOut, 4, wide);
    BoundedAppend(buffer, sizeof buffer, " and more");
    BoundedAppend(small, sizeof small, "x");
    DWORD length = 0;
    BoundedLength(buffer, sizeof buffer, &length);
    BoundedFormat(small, sizeof small, "%d", -32768);
    BoundedFormat(buffer, 16, "%1.2f %1.2f %1.2f", 0.9, 0.5, 1.0);
    BoundedFormat(small, sizeof small, "0%x", 0xABCDEFu);
    EscapePsString(buffer, sizeof buffer);
    AnsiFromWide(buffer, sizeof buffer, wide, 0xFFFFFFFF);
    AnsiFromWide(small, 2, wide, 0xFFFFFFFF);
    const long used = gAllocations.load() - before;
    EXPECT_EQ(used, 0);
}

TEST(Allocations, FormatInsertsAllocAllocatesOnce) {
    const char templateText[] = "/Watermark (%1!S!) def /FontSize %2!d! def {%3 setrgbcolor} %4 /%5!S!";
    char* text = nullptr;
    const long before = gAllocations.load();
    const DWORD result = FormatInsertsAlloc(templateText, sizeof templateText - 1, &text, "WaterMark", 72u,
                                            "0.90 0.90 0.90", "30", "Helvetica");
    const long used = gAllocations.load() - before;
    EXPECT_EQ(used, 1);
    const char expected[] =
        "/Watermark (WaterMark) def /FontSize 72 def {0.90 0.90 0.90 setrgbcolor} 30 /Helvetica";
    EXPECT_STREQ(text, expected);
    EXPECT_EQ(result, sizeof expected - 1);
    delete[] text;
}

} // namespace
} // namespace klv
