#include "watermark/format_inserts.h"

#include "resources/resource_ids.h"
#include "watermark/watermark.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace klv {
namespace {

// Fills the template, given with its length and followed by bytes that would
// complete an insert, so that a read past the length shows.
DWORD Format(char* destination, const std::string& templateText, DWORD* size, ...) {
    const std::string padded = templateText + "!S!!";
    va_list arguments;
    va_start(arguments, size);
    const DWORD result =
        FormatInserts(destination, padded.data(), static_cast<DWORD>(templateText.size()), size, arguments);
    va_end(arguments);
    return result;
}

// The first argument is the number, else "STR"; then "B" and "C".
DWORD Fill(char* destination, const std::string& templateText, std::optional<unsigned> number, DWORD* size) {
    return number ? Format(destination, templateText, size, *number, "B", "C")
                  : Format(destination, templateText, size, "STR", "B", "C");
}

// A text that fits its capacity with a terminator is written and its length
// returned, the size word left alone; otherwise the call returns 0, asks for
// the text and a terminator, and writes nothing at or past the capacity. The
// measuring pass asks for the same size.
TEST(FormatInserts, FillsEachKindOfInsertWithinCapacity) {
    // Unused arguments stay unconsumed; an unknown type ("%1!x!") takes none.
    const std::tuple<std::string, std::optional<unsigned>, DWORD, std::string> cases[] = {
        {"a%%b", {}, 64, "a%b"},
        {"%x", {}, 64, "x"},
        {"%1", {}, 64, "STR"},
        {"%1!", {}, 64, "STR!"},
        {"%1!S", {}, 64, "STR!S"},
        {"%1!S!x", {}, 64, "STRx"},
        {"%1!s!x", {}, 64, "x"},
        {"%1!x!%2!S!", {}, 64, "STR"},
        {"%1!d!", 7, 64, "7"},
        {"%1!D!", 4294967295u, 64, "4294967295"},
        {"%1!d!", 0, 64, "0"},
        {"%1!d!", 10, 64, "10"},
        {"%12", {}, 64, "STR2"},
        {"ab%", {}, 64, "ab"},
        {"%2!S! %1!S!", {}, 64, "STR B"},
        {std::string("a\0b", 3), {}, 64, std::string("a\0b", 3)},
        {"", {}, 1, ""},
        {"", {}, 0, ""},
        {"abc", {}, 3, "abc"},
        {"abc", {}, 4, "abc"},
        {"x%1!S!", {}, 4, "xSTR"},
        {"x%1!S!", {}, 5, "xSTR"},
    };
    for (const auto& [templateText, number, capacity, expected] : cases) {
        SCOPED_TRACE(templateText + " / " + std::to_string(capacity));
        const bool fits = expected.size() < capacity;
        char buffer[65];
        std::memset(buffer, '#', sizeof buffer);
        DWORD size = capacity;
        EXPECT_EQ(Fill(buffer, templateText, number, &size), fits ? expected.size() : 0u);
        EXPECT_EQ(size, fits ? capacity : expected.size() + 1);
        EXPECT_EQ(std::string(buffer, fits ? expected.size() + 1 : 0), fits ? expected + '\0' : "");
        EXPECT_EQ(buffer[capacity], '#');
        EXPECT_EQ(Fill(nullptr, templateText, number, &size), 0u);
        EXPECT_EQ(size, expected.size() + 1);
    }
}

TEST(FormatInserts, MissingInputs) {
    char buffer[16] = {'#'};
    EXPECT_EQ(Format(buffer, "abc", nullptr), 0u);
    EXPECT_EQ(buffer[0], '#');
    DWORD size = 99;
    va_list none{};
    EXPECT_EQ(FormatInserts(buffer, nullptr, 10, &size, none), 0u);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buffer[0], '#');
    size = sizeof buffer;
    EXPECT_EQ(Format(buffer, "a%1!S!b", &size, static_cast<const char*>(nullptr)), 2u);
    EXPECT_STREQ(buffer, "ab");
}

TEST(FormatInserts, WatermarkTemplateMeasuresOneMoreThanItWrites) {
    DWORD size = 0;
    const BYTE* bytes = LoadPsResource(ThisModule(), kWatermarkTemplateResource, &size);
    ASSERT_EQ(size, 809u);
    const std::string templateText(reinterpret_cast<const char*>(bytes), size);
    EXPECT_EQ(Format(nullptr, templateText, &size, "WaterMark", 72u, "0.90 0.90 0.90", "30", "Helvetica"),
              0u);
    ASSERT_EQ(size, 827u);
    std::vector<char> out(size);
    EXPECT_EQ(Format(out.data(), templateText, &size, "WaterMark", 72u, "0.90 0.90 0.90", "30", "Helvetica"),
              826u);
}

TEST(FormatInsertsAlloc, EmptyAndMissingTemplates) {
    char* text = nullptr;
    EXPECT_EQ(FormatInsertsAlloc("", 0, &text), 0u);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text[0], '\0');
    delete[] text;
    text = reinterpret_cast<char*>(0x1);
    EXPECT_EQ(FormatInsertsAlloc(nullptr, 4, &text), 0u);
    EXPECT_EQ(text, reinterpret_cast<char*>(0x1)) << "outText is not touched";
}

} // namespace
} // namespace klv
