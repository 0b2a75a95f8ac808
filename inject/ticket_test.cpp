// The job ticket in the job's setup, and names kept apart between devices.
#include "devmode/layout.h"
#include "testing/require_ghostscript.h"
#include "testing/test_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using klv::testing::Concat;
using klv::testing::TestDevice;
using klv::testing::Wide;
namespace dm = klv::dm;

std::vector<std::string> Ticket(const std::string& passwordHex, const std::vector<std::string>& nameHex) {
    std::vector<std::string> writes = {"userdict /kelvo$NT true put\r\n", "userdict /kelvo$jobpassword <"};
    for (size_t i = 0; i < passwordHex.size(); i += 2)
        writes.push_back(passwordHex.substr(i, 2));
    writes.insert(writes.end(), {"> put\r\n", "userdict /kelvo$jobname <"});
    writes.insert(writes.end(), nameHex.begin(), nameHex.end());
    writes.push_back("> put\r\n");
    return writes;
}

// Two hexadecimal digits per unit: the names used here are ASCII.
std::vector<std::string> HexUnits(const std::u16string& text) {
    std::vector<std::string> hex;
    for (char16_t unit : text)
        hex.push_back({"0123456789abcdef"[unit >> 4], "0123456789abcdef"[unit & 15]});
    return hex;
}

std::vector<std::string> TicketOf(const std::u16string& password, const std::u16string& name) {
    TestDevice device;
    device.SetWide(dm::kSzJobPassword, password);
    device.SetWide(dm::kSzJobName, name);
    return device.Inject(PSINJECT_BEGINSETUP);
}

TEST(Ticket, OneWritePerCodeUnitInHexadecimal) {
    const auto q3 = TicketOf(u"", u"Q3");
    EXPECT_EQ(q3, Ticket("", {"51", "33"}));
    EXPECT_EQ(q3.size(), 7u);
    EXPECT_EQ(Concat(q3).size(), 101u);
    EXPECT_EQ(TicketOf(u"Ab1!", u"x"), Ticket("41623121", {"78"}));
    const std::pair<std::u16string, std::vector<std::string>> cases[] = {
        {u"\t", {"09"}},       {u"\u00e9", {"e9"}},   {u"\u0100", {"100"}},
        {u"\u4e2d", {"4e2d"}}, {u"\x01", {"01"}},     {u"\x0f", {"0f"}},
        {u"\x10", {"10"}},     {u"\uffff", {"ffff"}}, {u"a\u0fffz", {"61", "fff", "7a"}},
    };
    for (const auto& [name, hex] : cases)
        EXPECT_EQ(TicketOf(u"", name), Ticket("", hex));
}

TEST(Ticket, UnterminatedFieldsStopAtTheirEnd) {
    TestDevice device;
    // Both fields filled to their last unit, each with a set field after it.
    for (DWORD i = 0; i < 5; ++i)
        dm::PutU16(device.Settings(), dm::kSzJobPassword + 2 * i, u'p');
    dm::PutU16(device.Settings(), dm::kSWatermarkOn, 0x41);
    for (DWORD i = 0; i < 81; ++i)
        dm::PutU16(device.Settings(), dm::kSzJobName + 2 * i, u'n');
    EXPECT_EQ(device.Inject(PSINJECT_BEGINSETUP), Ticket("7070707070", std::vector<std::string>(81, "6e")));
}

TEST(Ticket, EmptyNameTakesTheDocumentName) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"C:\\x\\Letter.doc", u"Letter.doc"},
        {std::u16string(100, u'd'), std::u16string(78, u'd')},
        {u"C:\\x\\", u""}};
    for (const auto& [document, stored] : cases) {
        TestDevice device;
        device.SetWide(dm::kSzJobPassword, u"");
        device.SetWide(dm::kSzJobName, u"");
        device.queue.Add({1, u"u", document});
        device.Inject(PSINJECT_COMMENTS);
        const auto writes = device.Inject(PSINJECT_BEGINSETUP);
        EXPECT_EQ(writes, Ticket("", HexUnits(stored)));
        EXPECT_EQ(device.Wide(dm::kSzJobName), stored); // kept in the device mode and used from now on
        EXPECT_EQ(device.Inject(PSINJECT_BEGINSETUP), writes);
    }
}

TEST(TicketInInterpreter, DefinesTheKeysWithTheDecodedBytes) {
    KLV_REQUIRE_GHOSTSCRIPT();
    const auto run =
        klv::gs::RunGhostscript(Concat(TicketOf(u"1234", u"Q3 (final)")) +
                                "userdict /kelvo$NT get == userdict /kelvo$jobpassword get print (|) print "
                                "userdict /kelvo$jobname get print (|\\n) print\n");
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(run.output, "true\n1234|Q3 (final)|\n");
}

// Devices rendering jobs at the same time: each block and ticket carries its
// own job's names.
TEST(Concurrency, EachDeviceKeepsItsOwnNames) {
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &mismatches] {
            const std::string name = "job" + std::to_string(t) + ".txt";
            const std::string inBlock =
                "\n(" + name + ") /ZUDurareDirod /ProcSet findresource begin logfilename";
            const std::string inTicket = "/kelvo$jobname <" + Concat(HexUnits(Wide(name.c_str()))) + ">";
            TestDevice device;
            device.SetWide(dm::kSzJobPassword, u"");
            device.queue.Add({static_cast<DWORD>(t + 1), u"user", Wide(("C:\\d\\" + name).c_str())});
            for (int round = 0; round < 150; ++round) {
                device.SetWide(dm::kSzJobName, u"");
                const std::string block = Concat(device.Inject(PSINJECT_COMMENTS));
                const std::string ticket = Concat(device.Inject(PSINJECT_BEGINSETUP));
                if (block.find(inBlock) == std::string::npos || ticket.find(inTicket) == std::string::npos)
                    ++mismatches;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
