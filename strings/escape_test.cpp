#include "strings/escape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace klv {
namespace {

std::string Pairs(std::size_t count) {
    return count == 0 ? "" : "\\(" + Pairs(count - 1);
}

TEST(EscapePsString, EscapesInPlaceWithinCapacity) {
    const std::string a257(257, 'a');
    const std::tuple<std::string, DWORD, std::string> cases[] = {
        {"Q3 (final).txt", 260, "Q3 \\(final\\).txt"},
        {"a\\b", 260, "a\\\\b"},
        {"", 260, ""},
        {"abc", 1, ""},
        {std::string(259, 'x'), 260, std::string(259, 'x')},
        {"ab(c", 5, "ab\\("},
        // A cut inside a pair drops the pair's backslash too.
        {"ab(", 4, "ab"},
        {"ab\\", 4, "ab"},
        {std::string(130, '('), 260, Pairs(129)},
        {std::string(200, '('), 260, Pairs(129)},
        {"(" + a257 + "(", 260, "\\(" + a257},
        // Double-byte text is escaped byte by byte: a trail byte 0x5C is
        // doubled and so keeps its value in the PostScript string.
        {"\x95\x5C", 260, "\x95\x5C\x5C"},
    };
    for (const auto& [text, capacity, expected] : cases) {
        SCOPED_TRACE(text.substr(0, 16) + " / " + std::to_string(capacity));
        // The text and its terminator, then guard bytes past the capacity.
        std::vector<char> buffer(text.begin(), text.end());
        buffer.resize(std::max<std::size_t>(buffer.size() + 1, capacity) + 8, '#');
        buffer[text.size()] = '\0';
        const std::vector<char> before = buffer;
        EscapePsString(buffer.data(), capacity);
        EXPECT_EQ(std::string(buffer.data()), expected);
        for (std::size_t i = expected.size(); i < capacity; ++i)
            ASSERT_EQ(buffer[i], '\0') << "the rest of the capacity is cleared, byte " << i;
        for (std::size_t i = capacity; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], before[i]) << "written past the capacity, byte " << i;
    }
}

} // namespace
} // namespace klv
