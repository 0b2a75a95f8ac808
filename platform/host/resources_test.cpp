// Module resources on other hosts.
#include "platform/host/host.h"
#include "resources/resource_ids.h"

#include <gtest/gtest.h>

namespace {

TEST(ModuleResources, FoundOnlyByTheirModuleTypeAndId) {
    HMODULE self = klv::ThisModule();
    ASSERT_NE(self, nullptr);
    int other = 0;
    struct Case {
        const char* name;
        HMODULE module;
        WORD type;
        WORD id;
        bool found;
        DWORD error;
    };
    const Case cases[] = {
        {"template", self, klv::kPostScriptResourceType, 1, true, 0},
        {"invocation", self, klv::kPostScriptResourceType, 2, true, 0},
        {"unknown id", self, klv::kPostScriptResourceType, 3, false, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"unknown type", self, 10, 1, false, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"other module", reinterpret_cast<HMODULE>(&other), klv::kPostScriptResourceType, 1, false,
         ERROR_RESOURCE_DATA_NOT_FOUND},
        {"null module", nullptr, klv::kPostScriptResourceType, 1, false, ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        HRSRC found = FindResourceW(c.module, MAKEINTRESOURCEW(c.id), MAKEINTRESOURCEW(c.type));
        EXPECT_EQ(found != nullptr, c.found);
        if (!c.found) {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
    EXPECT_EQ(LoadResource(self, nullptr), nullptr);
    EXPECT_EQ(SizeofResource(self, nullptr), 0u);
}

} // namespace
