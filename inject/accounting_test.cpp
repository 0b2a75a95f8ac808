// The job-accounting block at the head of the job.
#include "devmode/layout.h"
#include "inject/document_name.h"
#include "platform/host/host.h"
#include "testing/ghostscript.h"
#include "testing/test_device.h"

#include <gtest/gtest.h>

namespace {

using klv::host::QueuedJob;
using klv::testing::Concat;
using klv::testing::TestDevice;

std::string Block(const std::string& user, const std::string& document) {
    return "mark {\n/ZUDurareDirod /ProcSet findresource (logjobinfo) known {\n(" + user +
           ") /ZUDurareDirod /ProcSet findresource begin logusername end\n(" + document +
           ") /ZUDurareDirod /ProcSet findresource begin logfilename end\n(" + document +
           ") /ZUDurareDirod /ProcSet findresource begin logjobname end\n"
           "/ZUDurareDirod /ProcSet findresource begin logjobinfo end\n}if\n} stopped cleartomark\n";
}

// Runs the block for one queued job and returns what it wrote.
std::string BlockFor(const std::u16string& user, const std::u16string& document) {
    TestDevice device;
    device.queue.Add({1, user, document});
    const auto writes = device.Inject(PSINJECT_COMMENTS);
    EXPECT_EQ(writes.size(), 1u);
    return Concat(writes);
}

TEST(Accounting, BytesForOneJob) {
    const std::string block = BlockFor(u"u", u"d");
    EXPECT_EQ(block.size(), 337u);
    EXPECT_EQ(block, Block("u", "d"));
}

TEST(Accounting, DocumentNameCleaning) {
    struct Case {
        std::u16string document;
        std::string written;
    };
    const Case cases[] = {
        {u"C:\\Reports\\Q3 (final).txt", "Q3 \\(final\\).txt"},
        {u"Microsoft Word - Letter.doc", "Letter.doc"},
        {u"Microsoft Word - C:\\Docs\\Memo.doc", "Memo.doc"},
        {u"Copy of Microsoft Word - Memo", "Memo"},
        {u"Microsoft Word - Microsoft Word - Twice", "Microsoft Word - Twice"},
        {u"Microsoft Word -Memo", "Microsoft Word -Memo"},
        {u"microsoft word - Memo", "microsoft word - Memo"},
        {u"C:\\Temp\\", ""},
        {u"\\\\server\\share\\a\\b.txt", "b.txt"},
        {u"plain.txt", "plain.txt"},
        {u"back\\slash (x)\\y\\z", "z"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BlockFor(u"user1", c.document), Block("user1", c.written));
}

TEST(Accounting, NamesAreCutBeforeCleaning) {
    struct Case {
        std::u16string user;
        std::u16string document;
        std::string userWritten;
        std::string documentWritten;
    };
    const Case cases[] = {
        {u"u", std::u16string(200, u'n'), "u", std::string(127, 'n')},
        // A path beyond character 127 is cut off before the cleaning sees it.
        {u"u", std::u16string(130, u'a') + u"\\b", "u", std::string(127, 'a')},
        {std::u16string(80, u'u'), u"d", std::string(63, 'u'), "d"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BlockFor(c.user, c.document), Block(c.userWritten, c.documentWritten));
}

TEST(Accounting, EscapesNames) {
    EXPECT_EQ(BlockFor(u"o'(brien)", u"a\\b (1).txt"), Block("o'\\(brien\\)", "b \\(1\\).txt"));
    // A name whose escaped form would be cut never ends in a lone backslash.
    const std::string block = BlockFor(std::u16string(63, u'('), u"d");
    std::string pairs;
    for (int i = 0; i < 63; ++i)
        pairs += "\\(";
    EXPECT_EQ(block, Block(pairs, "d"));
}

TEST(Accounting, LongEscapedNamesStillCloseTheBlock) {
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
    const auto run = klv::testing::RunGhostscript(block + "(after) ==\n");
    EXPECT_TRUE(run.ok) << run.output;
    EXPECT_EQ(run.output, "(after)\n");
}

TEST(Accounting, ManyJobsWithoutKnownIdBillTheFifteenth) {
    TestDevice device;
    for (DWORD id = 1; id <= 20; ++id)
        device.queue.Add({id, u"user" + klv::testing::Wide(std::to_string(id).c_str()),
                          u"doc" + klv::testing::Wide(std::to_string(id).c_str())});
    EXPECT_EQ(Concat(device.Inject(PSINJECT_COMMENTS)), Block("user15", "doc15"));
}

TEST(Accounting, TheDevicesOwnJobWhenItsIdIsKnown) {
    TestDevice device;
    for (DWORD id = 1; id <= 20; ++id)
        device.queue.Add({100 + id, u"user" + klv::testing::Wide(std::to_string(id).c_str()), u"doc"});
    klv::DeviceStateOf(&device.devobj)->jobId = 107;
    EXPECT_EQ(Concat(device.Inject(PSINJECT_COMMENTS)), Block("user7", "doc"));
    EXPECT_EQ(device.queue.GetJobCalls(), 2);
    EXPECT_EQ(device.queue.EnumJobsCalls(), 0);

    // A job that cannot be fetched falls back to the listing.
    device.queue.FailGetJob(true);
    EXPECT_EQ(Concat(device.Inject(PSINJECT_COMMENTS)), Block("user15", "doc"));
}

TEST(Accounting, FailedLookupKeepsThePreviousDocumentName) {
    TestDevice first;
    first.queue.Add({1, u"ann", u"C:\\x\\Previous.txt"});
    first.Inject(PSINJECT_COMMENTS);

    TestDevice empty; // no job queued
    EXPECT_EQ(Concat(empty.Inject(PSINJECT_COMMENTS)), Block("", "Previous.txt"));

    TestDevice failing;
    failing.queue.Add({1, u"bob", u"New.txt"});
    failing.queue.FailEnumJobs(true);
    EXPECT_EQ(Concat(failing.Inject(PSINJECT_COMMENTS)), Block("", "Previous.txt"));
}

TEST(Accounting, NullNamesInTheRecord) {
    TestDevice first;
    first.queue.Add({1, u"ann", u"Kept.txt"});
    first.Inject(PSINJECT_COMMENTS);

    TestDevice device;
    device.queue.Add({1, std::nullopt, u"Doc.txt"});
    EXPECT_EQ(Concat(device.Inject(PSINJECT_COMMENTS)), Block("", "Doc.txt"));
    device.queue.Clear();
    device.queue.Add({1, u"bob", std::nullopt});
    EXPECT_EQ(Concat(device.Inject(PSINJECT_COMMENTS)), Block("bob", "Doc.txt"));
}

TEST(Accounting, ConvertsToTheAnsiCodePage) {
    struct Case {
        UINT codePage;
        std::u16string user;
        std::u16string document;
        std::string userBytes;
        std::string documentBytes;
    };
    const Case cases[] = {
        {1252, u"J\u00fcrgen", u"caf\u00e9 \u4e2d.txt", "J\xfcrgen", "caf\xe9 ?.txt"},
        // The second byte of this character is a backslash, which is doubled
        // like any other so that the string keeps its bytes.
        {932, u"\u8868", u"\u8868(1)", "\x95\\\\", "\x95\\\\\\(1\\)"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(klv::host::SetAnsiCodePage(c.codePage));
        EXPECT_EQ(BlockFor(c.user, c.document), Block(c.userBytes, c.documentBytes));
    }
    klv::host::SetAnsiCodePage(1252);
}

TEST(AccountingInInterpreter, HandsTheNamesToTheAccountingProcedures) {
    // A stand-in for the printer's resource: each procedure prints its operand.
    const std::string procset = "/ZUDurareDirod 4 dict begin\n"
                                "/logusername { (user:) print print (\\n) print } def\n"
                                "/logfilename { (file:) print print (\\n) print } def\n"
                                "/logjobname { (job:) print print (\\n) print } def\n"
                                "/logjobinfo { (info\\n) print } def\n"
                                "currentdict end /ProcSet defineresource pop\n";
    const std::string block = BlockFor(u"o'(brien)\\x", u"C:\\R\\Q3 (final).txt");
    const std::string program =
        procset + "1 2 3 count /before exch def\n" + block + "count before eq { (stack ok\\n) print } if\n";
    const auto run = klv::testing::RunGhostscript(program);
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_NE(run.output.find("user:o'(brien)\\x\nfile:Q3 (final).txt\njob:Q3 (final).txt\ninfo\nstack ok\n"),
              std::string::npos)
        << run.output;

    // Without the resource the block runs silently and leaves the stack alone.
    const auto silent = klv::testing::RunGhostscript("1 2 3 count /before exch def\n" + block +
                                                     "count before eq { (stack ok\\n) print } if\n");
    ASSERT_TRUE(silent.ok) << silent.output;
    EXPECT_EQ(silent.output, "stack ok\n");
}

} // namespace
