// The job ticket in the job's setup, and names kept apart between devices.
#include "devmode/layout.h"
#include "testing/ghostscript.h"
#include "testing/test_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

using klv::testing::Concat;
using klv::testing::TestDevice;
namespace dm = klv::dm;

std::vector<std::string> Ticket(const std::string& passwordHex, const std::vector<std::string>& nameHex) {
    std::vector<std::string> writes = {"userdict /kelvo$NT true put\r\n", "userdict /kelvo$jobpassword <"};
    for (size_t i = 0; i < passwordHex.size(); i += 2)
        writes.push_back(passwordHex.substr(i, 2));
    writes.push_back("> put\r\n");
    writes.push_back("userdict /kelvo$jobname <");
    writes.insert(writes.end(), nameHex.begin(), nameHex.end());
    writes.push_back("> put\r\n");
    return writes;
}

// Two hexadecimal digits per unit: the names used here are ASCII.
std::vector<std::string> HexUnits(const std::u16string& text) {
    std::vector<std::string> hex;
    for (char16_t unit : text) {
        char digits[8];
        std::snprintf(digits, sizeof(digits), "%02x", static_cast<unsigned>(unit));
        hex.emplace_back(digits);
    }
    return hex;
}

TEST(Ticket, SevenWritesForAShortName) {
    TestDevice device;
    device.SetWide(dm::kSzJobPassword, u"");
    device.SetWide(dm::kSzJobName, u"Q3");
    const auto writes = device.Inject(PSINJECT_BEGINSETUP);
    EXPECT_EQ(writes, Ticket("", {"51", "33"}));
    EXPECT_EQ(Concat(writes).size(), 101u);
}

TEST(Ticket, CodeUnitsInHexadecimal) {
    struct Case {
        std::u16string name;
        std::vector<std::string> hex;
    };
    const Case cases[] = {
        {u"\t", {"09"}},       {u"\u00e9", {"e9"}},   {u"\u0100", {"100"}},
        {u"\u4e2d", {"4e2d"}}, {u"\x01", {"01"}},     {u"\x0f", {"0f"}},
        {u"\x10", {"10"}},     {u"\uffff", {"ffff"}}, {u"a\u0fffz", {"61", "fff", "7a"}},
    };
    for (const Case& c : cases) {
        TestDevice device;
        device.SetWide(dm::kSzJobPassword, u"");
        device.SetWide(dm::kSzJobName, c.name);
        EXPECT_EQ(device.Inject(PSINJECT_BEGINSETUP), Ticket("", c.hex));
    }
}

TEST(Ticket, PasswordCharactersInOrder) {
    TestDevice device;
    device.SetWide(dm::kSzJobPassword, u"Ab1!");
    device.SetWide(dm::kSzJobName, u"x");
    EXPECT_EQ(device.Inject(PSINJECT_BEGINSETUP), Ticket("41623121", {"78"}));
}

TEST(Ticket, UnterminatedFieldsStopAtTheirEnd) {
    TestDevice device;
    // Password: all five units set, and the job name right after it too.
    for (DWORD i = 0; i < 5; ++i)
        dm::PutU16(device.Settings(), dm::kSzJobPassword + 2 * i, u'p');
    dm::PutU16(device.Settings(), dm::kSWatermarkOn, 0x41);
    // Job name: all 81 units set, with the password field following it.
    for (DWORD i = 0; i < 81; ++i)
        dm::PutU16(device.Settings(), dm::kSzJobName + 2 * i, u'n');
    const auto writes = device.Inject(PSINJECT_BEGINSETUP);
    EXPECT_EQ(writes, Ticket("7070707070", std::vector<std::string>(81, "6e")));
}

TEST(Ticket, EmptyNameTakesTheDocumentName) {
    struct Case {
        std::u16string document;
        std::u16string stored;
    };
    const Case cases[] = {
        {u"C:\\x\\Letter.doc", u"Letter.doc"},
        {std::u16string(100, u'd'), std::u16string(78, u'd')},
        {u"C:\\x\\", u""},
    };
    for (const Case& c : cases) {
        TestDevice device;
        device.SetWide(dm::kSzJobPassword, u"");
        device.SetWide(dm::kSzJobName, u"");
        device.queue.Add({1, u"u", c.document});
        device.Inject(PSINJECT_COMMENTS);
        const auto writes = device.Inject(PSINJECT_BEGINSETUP);
        EXPECT_EQ(writes, Ticket("", HexUnits(c.stored)));
        EXPECT_EQ(device.Wide(dm::kSzJobName), c.stored); // stays in the device mode
        // The stored name is used from now on.
        EXPECT_EQ(device.Inject(PSINJECT_BEGINSETUP), writes);
    }
}

TEST(TicketInInterpreter, DefinesTheKeysWithTheDecodedBytes) {
    TestDevice device;
    device.SetWide(dm::kSzJobPassword, u"1234");
    device.SetWide(dm::kSzJobName, u"Q3 (final)");
    const auto run = klv::testing::RunGhostscript(
        Concat(device.Inject(PSINJECT_BEGINSETUP)) +
        "userdict /kelvo$NT get == userdict /kelvo$jobpassword get print (|) print "
        "userdict /kelvo$jobname get print (|\\n) print\n");
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(run.output, "true\n1234|Q3 (final)|\n");
}

// Devices rendering jobs at the same time: each block and ticket carries its
// own job's names.
TEST(Concurrency, EachDeviceKeepsItsOwnNames) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 150;
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &mismatches] {
            const std::string name = "job" + std::to_string(t) + ".txt";
            TestDevice device;
            device.SetWide(dm::kSzJobPassword, u"");
            device.queue.Add(
                {static_cast<DWORD>(t + 1), u"user", klv::testing::Wide(("C:\\d\\" + name).c_str())});
            std::string expectedName;
            for (const std::string& hex : HexUnits(klv::testing::Wide(name.c_str())))
                expectedName += hex;
            for (int round = 0; round < kRounds; ++round) {
                device.SetWide(dm::kSzJobName, u"");
                const std::string block = Concat(device.Inject(PSINJECT_COMMENTS));
                const std::string ticket = Concat(device.Inject(PSINJECT_BEGINSETUP));
                if (block.find("\n(" + name + ") /ZUDurareDirod /ProcSet findresource begin logfilename") ==
                        std::string::npos ||
                    ticket.find("/kelvo$jobname <" + expectedName + ">") == std::string::npos)
                    ++mismatches;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
