// The job record packer against the platform's documented answers of
// EnumJobsW and GetJobW: what each call returns and sets, that a failing
// call writes nothing, and where the records and their strings go.
#include "platform/job_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using klv::platform::EnumJobInfo;
using klv::platform::GetJobInfo;
using klv::platform::SpooledJob;

constexpr BYTE kUnwritten = 0xA5;
constexpr DWORD kUnset = 0xDEADBEEF;

const SpooledJob kQueue[] = {
    {7, u"alice", u"Memo.doc"},
    {9, nullptr, u"Plan.txt"},
    {12, u"bob", nullptr},
};
constexpr DWORD kQueued = 3;

// The bytes of one record's strings: printer, user, document, data type.
DWORD StringBytes(const SpooledJob& job) {
    auto bytes = [](const char16_t* text) {
        return text != nullptr ? static_cast<DWORD>((std::u16string(text).size() + 1) * 2) : 0;
    };
    return bytes(klv::platform::kSpoolerPrinterName) + bytes(job.user) + bytes(job.document) +
           bytes(klv::platform::kSpoolerDatatype);
}

bool Untouched(const std::vector<BYTE>& buffer, size_t from = 0) {
    for (size_t i = from; i < buffer.size(); ++i)
        if (buffer[i] != kUnwritten)
            return false;
    return true;
}

TEST(JobInfo, ListingAnswersAsDocumented) {
    const DWORD all =
        3 * sizeof(JOB_INFO_1W) + StringBytes(kQueue[0]) + StringBytes(kQueue[1]) + StringBytes(kQueue[2]);
    const DWORD lastTwo = 2 * sizeof(JOB_INFO_1W) + StringBytes(kQueue[1]) + StringBytes(kQueue[2]);
    struct Case {
        const char* what;
        DWORD first;
        DWORD count;
        DWORD level;
        DWORD size; // bytes offered
        bool nullBuffer;
        DWORD error;
        DWORD needed; // kUnset: not written
        DWORD returned;
    };
    const Case cases[] = {
        {"the first call", 0, 15, 1, 0, true, ERROR_INSUFFICIENT_BUFFER, all, 0},
        {"one byte short", 0, 15, 1, all - 1, false, ERROR_INSUFFICIENT_BUFFER, all, 0},
        {"a null buffer of the right size", 0, 15, 1, all, true, ERROR_INSUFFICIENT_BUFFER, all, 0},
        {"exactly enough", 0, 15, 1, all, false, ERROR_SUCCESS, all, 3},
        {"more than enough", 0, 15, 1, all + 64, false, ERROR_SUCCESS, all, 3},
        {"a window that the queue ends", 1, 15, 1, lastTwo, false, ERROR_SUCCESS, lastTwo, 2},
        {"a window past the queue", 3, 15, 1, 64, false, ERROR_SUCCESS, 0, 0},
        {"no jobs asked", 0, 0, 1, 64, false, ERROR_SUCCESS, 0, 0},
        {"level 2", 0, 15, 2, all, false, ERROR_INVALID_LEVEL, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<BYTE> buffer(c.size + 16, kUnwritten);
        DWORD needed = kUnset;
        DWORD returned = kUnset;
        EXPECT_EQ(EnumJobInfo(kQueue, kQueued, c.first, c.count, c.level,
                              c.nullBuffer ? nullptr : buffer.data(), c.size, &needed, &returned),
                  c.error);
        EXPECT_EQ(needed, c.needed);
        EXPECT_EQ(returned, c.returned);
        EXPECT_TRUE(Untouched(buffer, c.error == ERROR_SUCCESS ? c.needed : 0));
    }
}

TEST(JobInfo, NullCountsAreRefusedWithoutWritingAnything) {
    std::vector<BYTE> buffer(1024, kUnwritten);
    DWORD count = kUnset;
    EXPECT_EQ(EnumJobInfo(kQueue, kQueued, 0, 15, 1, buffer.data(), 1024, nullptr, &count),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(EnumJobInfo(kQueue, kQueued, 0, 15, 1, buffer.data(), 1024, &count, nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetJobInfo(kQueue, kQueued, 7, 1, buffer.data(), 1024, nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(count, kUnset);
    EXPECT_TRUE(Untouched(buffer));
}

TEST(JobInfo, RecordsComeFirstAndTheirStringsFollowInFieldOrder) {
    DWORD needed = 0;
    DWORD returned = 0;
    EnumJobInfo(kQueue, kQueued, 1, 2, 1, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    ASSERT_EQ(EnumJobInfo(kQueue, kQueued, 1, 2, 1, buffer.data(), needed, &needed, &returned),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(returned, 2u);
    const auto* records = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
    const auto* next = reinterpret_cast<const WCHAR*>(records + 2);
    for (DWORD i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const JOB_INFO_1W& r = records[i];
        EXPECT_EQ(r.JobId, kQueue[1 + i].id);
        EXPECT_EQ(r.Position, 2 + i); // counted from 1, from the queue's head
        EXPECT_EQ(r.Priority, 1u);
        EXPECT_EQ(r.pMachineName, nullptr);
        EXPECT_EQ(r.pStatus, nullptr);
        for (const auto& [field, text] :
             {std::pair{r.pPrinterName, klv::platform::kSpoolerPrinterName},
              std::pair{r.pUserName, kQueue[1 + i].user}, std::pair{r.pDocument, kQueue[1 + i].document},
              std::pair{r.pDatatype, klv::platform::kSpoolerDatatype}}) {
            if (text == nullptr) {
                EXPECT_EQ(field, nullptr);
                continue;
            }
            ASSERT_EQ(field, next);
            EXPECT_EQ(std::u16string(field), std::u16string(text));
            next += std::u16string(text).size() + 1;
        }
    }
    EXPECT_EQ(reinterpret_cast<const BYTE*>(next), buffer.data() + needed); // every byte accounted for
}

TEST(JobInfo, OneJobAnswersAsDocumented) {
    const DWORD bob = sizeof(JOB_INFO_1W) + StringBytes(kQueue[2]);
    struct Case {
        const char* what;
        DWORD id;
        DWORD level;
        DWORD size;
        DWORD error;
        DWORD needed;
    };
    const Case cases[] = {
        {"the first call", 12, 1, 0, ERROR_INSUFFICIENT_BUFFER, bob},
        {"one byte short", 12, 1, bob - 1, ERROR_INSUFFICIENT_BUFFER, bob},
        {"exactly enough", 12, 1, bob, ERROR_SUCCESS, bob},
        {"a job not queued", 8, 1, 1024, ERROR_INVALID_PARAMETER, 0},
        {"level 2", 12, 2, 1024, ERROR_INVALID_LEVEL, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<BYTE> buffer(c.size + 16, kUnwritten);
        DWORD needed = kUnset;
        EXPECT_EQ(
            GetJobInfo(kQueue, kQueued, c.id, c.level, c.size ? buffer.data() : nullptr, c.size, &needed),
            c.error);
        EXPECT_EQ(needed, c.needed);
        EXPECT_TRUE(Untouched(buffer, c.error == ERROR_SUCCESS ? c.needed : 0));
        if (c.error == ERROR_SUCCESS) {
            const auto* record = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
            EXPECT_EQ(record->JobId, 12u);
            EXPECT_EQ(record->Position, 3u);
            EXPECT_EQ(std::u16string(record->pUserName), u"bob");
            EXPECT_EQ(record->pDocument, nullptr);
        }
    }
}

} // namespace
