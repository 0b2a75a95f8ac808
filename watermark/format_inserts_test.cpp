#include "watermark/format_inserts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

namespace klv {
namespace {

// FormatInserts takes an argument list; these wrap it for the tests.
DWORD FormatRaw(char* destination, const char* templateText, DWORD length, DWORD* size, ...) {
    va_list arguments;
    va_start(arguments, size);
    const DWORD result = FormatInserts(destination, templateText, length, size, arguments);
    va_end(arguments);
    return result;
}

DWORD Format(char* destination, const std::string& templateText, DWORD* size, ...) {
    va_list arguments;
    va_start(arguments, size);
    const DWORD result = FormatInserts(destination, templateText.data(),
                                       static_cast<DWORD>(templateText.size()), size, arguments);
    va_end(arguments);
    return result;
}

// Every call passes three string arguments and, for the number rows, a
// number first; unused arguments stay unconsumed.
struct InsertCase {
    const char* name;
    std::string templateText;
    bool number; // the first argument is the number below, else "STR"
    unsigned int value;
    std::string expected;
};
void PrintTo(const InsertCase& c, std::ostream* os) {
    *os << c.name;
}

class FormatInsertsTest : public ::testing::TestWithParam<InsertCase> {};

TEST_P(FormatInsertsTest, FillsTemplate) {
    const InsertCase& c = GetParam();
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    DWORD size = sizeof buffer;
    const DWORD result = c.number ? Format(buffer, c.templateText, &size, c.value, "B", "C")
                                  : Format(buffer, c.templateText, &size, "STR", "B", "C");
    EXPECT_EQ(result, c.expected.size());
    EXPECT_EQ(std::string(buffer, c.expected.size() + 1), c.expected + std::string(1, '\0'));
    EXPECT_EQ(size, sizeof buffer) << "a complete write leaves the size word alone";

    // The measuring pass asks for exactly the bytes written and a terminator.
    DWORD measured = 12345;
    EXPECT_EQ(c.number ? Format(nullptr, c.templateText, &measured, c.value, "B", "C")
                       : Format(nullptr, c.templateText, &measured, "STR", "B", "C"),
              0u);
    EXPECT_EQ(measured, c.expected.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatInsertsTest,
    ::testing::Values(
        InsertCase{"DoublePercent", "a%%b", false, 0, "a%b"},
        InsertCase{"PercentLetter", "%x", false, 0, "x"}, InsertCase{"BareInsert", "%1", false, 0, "STR"},
        InsertCase{"BangOnly", "%1!", false, 0, "STR!"}, InsertCase{"SuffixAtEnd", "%1!S", false, 0, "STR!S"},
        InsertCase{"StringInsert", "%1!S!x", false, 0, "STRx"},
        InsertCase{"LowerCaseS", "%1!s!x", false, 0, "x"}, InsertCase{"Number", "%1!d!", true, 7, "7"},
        InsertCase{"NumberUpperCase", "%1!D!", true, 4294967295u, "4294967295"},
        InsertCase{"NumberZero", "%1!d!", true, 0, "0"}, InsertCase{"NumberTen", "%1!d!", true, 10, "10"},
        InsertCase{"OneDigitOnly", "%12", false, 0, "STR2"},
        InsertCase{"PercentAtEnd", "ab%", false, 0, "ab"},
        InsertCase{"OrderOfAppearance", "%2!S! %1!S!", false, 0, "STR B"},
        InsertCase{"SkippedInsertConsumesNothing", "%1!x!%2!S!", false, 0, "STR"},
        InsertCase{"ZeroByteCopied", std::string("a\0b", 3), false, 0, std::string("a\0b", 3)}),
    [](const auto& info) { return std::string(info.param.name); });

struct CapacityCase {
    const char* name;
    std::string templateText;
    DWORD capacity;
    DWORD result;
    DWORD size;
    std::string expected; // when result is the length: the terminated text
};
void PrintTo(const CapacityCase& c, std::ostream* os) {
    *os << c.name;
}

class FormatInsertsCapacityTest : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(FormatInsertsCapacityTest, ReportsNeededSize) {
    const CapacityCase& c = GetParam();
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    DWORD size = c.capacity;
    EXPECT_EQ(Format(buffer, c.templateText, &size, "STR"), c.result);
    EXPECT_EQ(size, c.size);
    if (c.result != 0) {
        EXPECT_EQ(std::string(buffer), c.expected);
    }
    EXPECT_EQ(buffer[c.capacity], '#') << "nothing written at or past the capacity";
}

INSTANTIATE_TEST_SUITE_P(Table, FormatInsertsCapacityTest,
                         ::testing::Values(CapacityCase{"EmptyCapacity1", "", 1, 0, 1, ""},
                                           CapacityCase{"EmptyCapacity0", "", 0, 0, 1, ""},
                                           CapacityCase{"TooSmall", "abc", 3, 0, 4, ""},
                                           CapacityCase{"ExactFit", "abc", 4, 3, 4, "abc"},
                                           CapacityCase{"InsertTooSmall", "x%1!S!", 4, 0, 5, ""},
                                           CapacityCase{"InsertExactFit", "x%1!S!", 5, 4, 5, "xSTR"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FormatInserts, NullSizePointer) {
    char buffer[8] = {'#'};
    EXPECT_EQ(Format(buffer, "abc", nullptr), 0u);
    EXPECT_EQ(buffer[0], '#');
}

TEST(FormatInserts, NullTemplate) {
    char buffer[8] = {'#'};
    DWORD size = 99;
    EXPECT_EQ(FormatRaw(buffer, nullptr, 10, &size), 0u);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buffer[0], '#');
}

TEST(FormatInserts, NullStringArgumentInsertsNothing) {
    char buffer[16];
    DWORD size = sizeof buffer;
    EXPECT_EQ(Format(buffer, "a%1!S!b", &size, static_cast<const char*>(nullptr)), 2u);
    EXPECT_STREQ(buffer, "ab");
}

TEST(FormatInserts, ReadsNoByteBeyondTheLength) {
    // The "!" after "%1!S" lies outside the length: no suffix there.
    const char bytes[] = "%1!S!";
    char buffer[16];
    DWORD size = sizeof buffer;
    EXPECT_EQ(FormatRaw(buffer, bytes, 4, &size, "STR"), 5u);
    EXPECT_STREQ(buffer, "STR!S");
}

struct AllocCase {
    const char* name;
    std::string templateText;
    std::string expected;
};
void PrintTo(const AllocCase& c, std::ostream* os) {
    *os << c.name;
}

class FormatInsertsAllocTest : public ::testing::TestWithParam<AllocCase> {};

TEST_P(FormatInsertsAllocTest, AllocatesExactSize) {
    const AllocCase& c = GetParam();
    char* text = nullptr;
    const DWORD length = FormatInsertsAlloc(c.templateText.data(), static_cast<DWORD>(c.templateText.size()),
                                            &text, "A", 12u, "B");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(length, c.expected.size());
    EXPECT_EQ(std::string(text, length + 1), c.expected + std::string(1, '\0'));
    delete[] text;
}

INSTANTIATE_TEST_SUITE_P(Table, FormatInsertsAllocTest,
                         ::testing::Values(AllocCase{"Empty", "", ""},
                                           AllocCase{"Mixed", "(%1!S!) %2!d! /%3!S! 100%%",
                                                     "(A) 12 /B 100%"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FormatInsertsAlloc, NullTemplateAllocatesNothing) {
    char* text = reinterpret_cast<char*>(0x1);
    EXPECT_EQ(FormatInsertsAlloc(nullptr, 4, &text), 0u);
    EXPECT_EQ(text, reinterpret_cast<char*>(0x1)) << "outText is not touched";
}

} // namespace
} // namespace klv
