// The PostScript resources, byte for byte, as the module carries them.
#include "platform/win32.h"
#include "resources/resource_ids.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Resource(WORD id) {
    HMODULE self = klv::ThisModule();
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(klv::kPostScriptResourceType));
    if (found == nullptr)
        return {};
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(self, found)));
    return std::string(bytes, SizeofResource(self, found));
}

TEST(Resources, WatermarkTemplate) {
    const std::string text = Resource(klv::kWatermarkTemplateResource);
    ASSERT_EQ(text.size(), 809u);
    EXPECT_EQ(text.rfind("userdict /DrawWaterMark {\r\nuserdict begin\r\n/Watermark (%1!S!) def\r\n", 0), 0u);
    EXPECT_NE(
        text.find("/FontSize %2!d! def\r\n/WaterMarkColor {%3 setrgbcolor} bind def\r\n/Angle %4 def\r\n"
                  "/Font /%5!S! def\r\n"),
        std::string::npos);
    // Ends with "} bind put", an empty line and a line holding one space.
    EXPECT_EQ(text.substr(text.size() - 17), "} bind put\r\n\r\n \r\n");
    size_t lines = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++lines;
            EXPECT_EQ(text[i - 1], '\r') << "bare line feed at " << i;
        }
        EXPECT_NE(text[i], '\0');
    }
    EXPECT_EQ(lines, 41u);
}

TEST(Resources, WatermarkInvocation) {
    const std::string text = Resource(klv::kWatermarkInvokeResource);
    EXPECT_EQ(text, std::string("userdict /DrawWaterMark get exec\r\n\r\n\0\r\n", 39));
}

} // namespace
