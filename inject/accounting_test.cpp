// The job-accounting block at the head of the job.
#include "devmode/layout.h"
#include "inject/document_name.h"
#include "platform/host/host.h"
#include "testing/require_ghostscript.h"
#include "testing/test_device.h"

#include <gtest/gtest.h>

namespace {

using klv::testing::Concat;
using klv::testing::TestDevice;
using klv::testing::Wide;

std::string Block(const std::string& user, const std::string& document) {
    return "mark {\n/ZUDurareDirod /ProcSet findresource (logjobinfo) known {\n(" + user +
           ") /ZUDurareDirod /ProcSet findresource begin logusername end\n(" + document +
           ") /ZUDurareDirod /ProcSet findresource begin logfilename end\n(" + document +
           ") /ZUDurareDirod /ProcSet findresource begin logjobname end\n"
           "/ZUDurareDirod /ProcSet findresource begin logjobinfo end\n}if\n} stopped cleartomark\n";
}

// The block of a device with the given queue, in one write.
std::string BlockOf(TestDevice& device) {
    const auto writes = device.Inject(PSINJECT_COMMENTS);
    EXPECT_EQ(writes.size(), 1u);
    return Concat(writes);
}

std::string BlockFor(std::optional<std::u16string> user, std::optional<std::u16string> document) {
    TestDevice device;
    device.queue.Add({1, user, document});
    return BlockOf(device);
}

TEST(Accounting, NamesAsWritten) {
    EXPECT_EQ(BlockFor(u"u", u"d").size(), 337u);
    const std::pair<std::u16string, std::string> cases[] = {
        {u"d", "d"},
        {u"C:\\Reports\\Q3 (final).txt", "Q3 \\(final\\).txt"},
        {u"Microsoft Word - Letter.doc", "Letter.doc"},
        {u"Microsoft Word - C:\\Docs\\Memo.doc", "Memo.doc"},
        {u"Copy of Microsoft Word - Memo", "Memo"},
        {u"Microsoft Word - Microsoft Word - Twice", "Microsoft Word - Twice"},
        {u"Microsoft Word -Memo", "Microsoft Word -Memo"},
        {u"microsoft word - Memo", "microsoft word - Memo"},
        {u"C:\\Temp\\", ""},
        {u"\\\\server\\share\\a\\b.txt", "b.txt"},
        {u"back\\slash (x)\\y\\z", "z"},
        {std::u16string(200, u'n'), std::string(127, 'n')},
        // Cut to 127 characters before the cleaning sees the path.
        {std::u16string(130, u'a') + u"\\b", std::string(127, 'a')}};
    for (const auto& [document, written] : cases)
        EXPECT_EQ(BlockFor(u"u", document), Block("u", written));
    EXPECT_EQ(BlockFor(std::u16string(80, u'u'), u"d"), Block(std::string(63, 'u'), "d"));
    EXPECT_EQ(BlockFor(u"o'(brien)\\", u"d"), Block("o'\\(brien\\)\\\\", "d"));
    // Cut names never end in a lone backslash: see the next test.
}

TEST(AccountingInInterpreter, LongEscapedNamesStillCloseTheBlock) {
    KLV_REQUIRE_GHOSTSCRIPT();
    // Every character needs escaping: the names would fill more than the
    // injection buffer, so the document name is shortened by whole escapes.
    std::string userPairs;
    for (int i = 0; i < 63; ++i)
        userPairs += "\\(";
    std::string documentPairs;
    for (int i = 0; i < 79; ++i)
        documentPairs += "\\)";
    const std::string block = BlockFor(std::u16string(63, u'('), std::u16string(127, u')'));
    EXPECT_EQ(block, Block(userPairs, documentPairs));
    EXPECT_LE(block.size(), 779u);
    const auto run = klv::gs::RunGhostscript(block + "(after) ==\n");
    EXPECT_TRUE(run.ok) << run.output;
    EXPECT_EQ(run.output, "(after)\n");
}

// Twenty queued jobs: the device's own by its id, else the fifteenth listed.
TEST(Accounting, WhichJobIsBilled) {
    TestDevice device;
    for (DWORD id = 1; id <= 20; ++id)
        device.queue.Add({100 + id, u"user" + Wide(std::to_string(id).c_str()),
                          u"doc" + Wide(std::to_string(id).c_str())});
    EXPECT_EQ(BlockOf(device), Block("user15", "doc15"));
    EXPECT_EQ(device.queue.GetJobCalls(), 0);
    const int listed = device.queue.EnumJobsCalls();
    klv::DeviceStateOf(&device.devobj)->jobId = 107;
    EXPECT_EQ(BlockOf(device), Block("user7", "doc7"));
    EXPECT_EQ(device.queue.GetJobCalls(), 2);
    EXPECT_EQ(device.queue.EnumJobsCalls(), listed);
    device.queue.FailGetJob(true); // cannot be fetched: back to the listing
    EXPECT_EQ(BlockOf(device), Block("user15", "doc15"));
}

// The document name is the process's last one; a lookup without a name
// keeps it. Separate devices show it is not the device's own.
TEST(Accounting, MissingNamesKeepThePreviousDocumentName) {
    EXPECT_EQ(BlockFor(u"ann", u"C:\\x\\Previous.txt"), Block("ann", "Previous.txt"));
    TestDevice empty;
    EXPECT_EQ(BlockOf(empty), Block("", "Previous.txt"));
    TestDevice failing;
    failing.queue.Add({1, u"bob", u"New.txt"});
    failing.queue.FailEnumJobs(true);
    EXPECT_EQ(BlockOf(failing), Block("", "Previous.txt"));
    EXPECT_EQ(BlockFor(std::nullopt, u"Doc.txt"), Block("", "Doc.txt"));
    EXPECT_EQ(BlockFor(u"bob", std::nullopt), Block("bob", "Doc.txt"));
}

TEST(Accounting, ConvertsToTheAnsiCodePage) {
    ASSERT_TRUE(klv::host::SetAnsiCodePage(1252));
    EXPECT_EQ(BlockFor(u"J\u00fcrgen", u"caf\u00e9 \u4e2d.txt"), Block("J\xfcrgen", "caf\xe9 ?.txt"));
    // The second byte of U+8868 is a backslash, doubled like any other so
    // that the string keeps its bytes.
    ASSERT_TRUE(klv::host::SetAnsiCodePage(932));
    EXPECT_EQ(BlockFor(u"\u8868", u"\u8868(1)"), Block("\x95\\\\", "\x95\\\\\\(1\\)"));
    klv::host::SetAnsiCodePage(1252);
}

TEST(AccountingInInterpreter, HandsTheNamesToTheAccountingProcedures) {
    KLV_REQUIRE_GHOSTSCRIPT();
    // A stand-in for the printer's resource: each procedure prints its operand.
    const std::string procset =
        "/ZUDurareDirod << /logusername { (user:) print = } /logfilename { (file:) print = }\n"
        "/logjobname { (job:) print = } /logjobinfo { (info) = } >> /ProcSet defineresource pop\n";
    const std::string block = "1 2 3 count /before exch def\n" +
                              BlockFor(u"o'(brien)\\x", u"C:\\R\\Q3 (final).txt") +
                              "count before eq { (stack ok\\n) print } if\n";
    const auto run = klv::gs::RunGhostscript(procset + block);
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(run.output, "user:o'(brien)\\x\nfile:Q3 (final).txt\njob:Q3 (final).txt\ninfo\nstack ok\n");
    // Without the resource the block runs silently and leaves the stack alone.
    const auto silent = klv::gs::RunGhostscript(block);
    ASSERT_TRUE(silent.ok) << silent.output;
    EXPECT_EQ(silent.output, "stack ok\n");
}

} // namespace
