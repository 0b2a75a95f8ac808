#include "rigs/jobrun/job_matrix.h"

#include "devmode/layout.h"

namespace klv::sim {

namespace {

// One row: the settings that differ from the plug-in's defaults. Text is
// UTF-8; a null watermark text keeps the default one.
struct MatrixRow {
    const char* name;
    std::int16_t watermarkOn = 0;
    std::int16_t angle = 30;
    std::int32_t size = 72;
    Colour colour{0xE6, 0xE6, 0xE6};
    const char* watermarkText = nullptr;
    std::int16_t fullPage = -1;
    std::int16_t flip = 0;
    const char* jobName = "";
    const char* password = "";
    const char* user = "user1";
    const char* document = "Document";
    Paper paper = Paper::kLetter;
    int dpi = 600;
    bool jobQueuedAhead = false;
};

// Stands for the 200-character document name in the table.
constexpr const char* kLongDocument = nullptr;

std::string LongDocumentName() {
    const std::u16string unit = u"Quarterly (report) \\ caf\u00E9 ";
    std::u16string name;
    while (name.size() < 200)
        name += unit.substr(0, 200 - name.size());
    return support::Utf16ToUtf8(name);
}

// clang-format off
const MatrixRow kRows[] = {
    {.name = "defaults"},
    {.name = "watermark-30", .watermarkOn = 1},
    {.name = "watermark-0-red-36", .watermarkOn = 1, .angle = 0, .size = 36, .colour = {255, 0, 0}},
    {.name = "watermark-45-blue-144", .watermarkOn = 1, .angle = 45, .size = 144, .colour = {0, 0, 255}},
    {.name = "watermark-90-grey-200", .watermarkOn = 1, .angle = 90, .size = 200, .colour = {128, 128, 128}},
    {.name = "watermark-minus60-green-24", .watermarkOn = 1, .angle = -60, .size = 24, .colour = {0, 160, 0}},
    {.name = "watermark-180-black-96", .watermarkOn = 1, .angle = 180, .size = 96, .colour = {0, 0, 0}},
    {.name = "watermark-text-special", .watermarkOn = 1, .angle = 315,
     .watermarkText = "Entw\xC3\xBCrfe (intern) \\ \xC2\xA9 Kl\xC3\xA4r"},
    {.name = "fullpage", .fullPage = 1},
    {.name = "fullpage-a4", .fullPage = 1, .paper = Paper::kA4},
    {.name = "fullpage-1200dpi", .fullPage = 1, .dpi = 1200},
    {.name = "fullpage-300dpi-a4", .fullPage = 1, .paper = Paper::kA4, .dpi = 300},
    {.name = "fullpage-off", .fullPage = 0},
    {.name = "flip", .flip = 1},
    {.name = "flip-fullpage-watermark", .watermarkOn = 1, .angle = 45, .fullPage = 1, .flip = 1},
    {.name = "jobname", .jobName = "Payroll run"},
    {.name = "jobname-password", .jobName = "Payroll run", .password = "4711"},
    {.name = "password-only", .password = "0042"},
    {.name = "names-parentheses", .jobName = "Budget (draft)", .user = "ops (night)",
     .document = "Plan (v2).docx"},
    {.name = "names-backslashes", .jobName = "C:\\jobs\\budget", .user = "CORP\\alice",
     .document = "\\\\server\\share\\plan.docx"},
    {.name = "names-latin1", .jobName = "R\xC3\xA9sum\xC3\xA9 \xC3\x9C" "bersicht", .user = "Bj\xC3\xB6rn",
     .document = "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e \xC2\xBD \xC3\x9F\xC3\xBF.txt"},
    {.name = "names-empty", .user = "", .document = ""},
    {.name = "document-200", .document = kLongDocument},
    {.name = "document-200-watermark-jobname", .watermarkOn = 1, .jobName = "Long one", .password = "9999",
     .document = kLongDocument, .jobQueuedAhead = true},
};
// clang-format on

void PutWide(std::vector<std::uint8_t>& block, DWORD offset, DWORD fieldChars, const std::string& utf8) {
    const std::u16string text = support::Utf8ToUtf16(utf8);
    for (DWORD i = 0; i < fieldChars; ++i)
        dm::PutU16(block.data(), offset + 2 * i, i < text.size() && i + 1 < fieldChars ? text[i] : 0);
}

Job MakeJob(const MatrixRow& row, const std::vector<std::uint8_t>& defaults) {
    Job job = SampleJob(2, {"Whole jobs on every ABI.", "Latin-1: \xC3\xA9t\xC3\xA9 \xC3\xB1 \xC3\x9F",
                            "PostScript specials: ( ) \\ %"});
    job.user = row.user;
    job.document = row.document != kLongDocument ? row.document : LongDocumentName();
    job.jobId = 7;
    if (row.jobQueuedAhead)
        job.otherJobs = {platform::QueuedJob{5, u"bob", u"Ahead (1).txt"}};
    job.paper = row.paper;
    job.dpi = row.dpi;

    std::vector<std::uint8_t> block = defaults;
    BYTE* b = block.data();
    dm::PutS16(b, dm::kSWatermarkOn, row.watermarkOn);
    dm::PutS16(b, dm::kSWatermarkAngle, row.angle);
    dm::PutU32(b, dm::kLWatermarkSize, static_cast<std::uint32_t>(row.size));
    dm::PutByte(b, dm::kRgbWatermarkColor, row.colour.red);
    dm::PutByte(b, dm::kRgbWatermarkColor + 1, row.colour.green);
    dm::PutByte(b, dm::kRgbWatermarkColor + 2, row.colour.blue);
    if (row.watermarkText != nullptr)
        PutWide(block, dm::kSzWatermarkText, dm::kWatermarkTextChars, row.watermarkText);
    dm::PutS16(b, dm::kSFullPage, row.fullPage);
    dm::PutS16(b, dm::kSFlip, row.flip);
    PutWide(block, dm::kSzJobName, dm::kJobNameChars, row.jobName);
    PutWide(block, dm::kSzJobPassword, dm::kJobPasswordChars, row.password);
    job.devmode = std::move(block);
    return job;
}

} // namespace

std::vector<MatrixJob> JobMatrix(const std::vector<std::uint8_t>& defaults) {
    std::vector<MatrixJob> jobs;
    for (const MatrixRow& row : kRows)
        jobs.push_back(MatrixJob{row.name, MakeJob(row, defaults)});
    return jobs;
}

} // namespace klv::sim
