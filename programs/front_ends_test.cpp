// Every front end takes the settings table's values alike: the same good
// values give the same job byte for byte, and the same bad values the same
// refusal in the same words, each front end putting its own name for the
// setting in front. The front ends run as a person and CUPS run them.
#include "libraries/settings/settings_table.h"
#include "libraries/support/files.h"
#include "libraries/support/process.h"
#include "libraries/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace klv {
namespace {

namespace fs = std::filesystem;
using settings::Id;
using settings::SettingOf;

// A small DSC job that both front ends serve to the plug-in as it is.
constexpr const char kJob[] = "%!PS-Adobe-3.0\n%%Pages: 2\n%%EndComments\n%%BeginProlog\n%%EndProlog\n"
                              "%%BeginSetup\n%%EndSetup\n"
                              "%%Page: 1 1\n%%BeginPageSetup\n%%EndPageSetup\n(one) show showpage\n"
                              "%%Page: 2 2\n%%BeginPageSetup\n%%EndPageSetup\n(two) show showpage\n"
                              "%%Trailer\n%%EOF\n";

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct FrontEndRun {
    int exitStatus = -1;
    std::string job;      // what it wrote
    std::string refusal;  // the words after its name for the setting, when it refused
    std::string messages; // everything it said
};

// The words after "<name>: " on the line that names the setting.
std::string RefusalAfter(const std::string& messages, const std::string& name) {
    const std::size_t at = messages.find(name + ": ");
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + name.size() + 2;
    return messages.substr(start, messages.find('\n', start) - start);
}

FrontEndRun Klvps(const fs::path& dir, Id id, const std::string& value) {
    const fs::path out = dir / "klvps.ps";
    fs::remove(out);
    const std::string flag = SettingOf(id).flag;
    const support::ProcessResult run = support::RunProcess(
        {KLVPS_TOOL_PATH, "print", (dir / "job.ps").string(), "--user", "ann", "--document", "Minutes",
         "--job-id", "3", flag + "=" + value, "-o", out.string()});
    return {run.exitStatus, support::ReadWholeFile(out), RefusalAfter(run.output, flag), run.output};
}

FrontEndRun CupsFilter(const fs::path& dir, Id id, const std::string& value) {
    const fs::path out = dir / "filter.ps";
    const std::string option = SettingOf(id).cupsOption;
    // No PPD: only the job's own option.
    const std::string command = "exec env -u PPD KLVPS_PLUGIN=" + Quoted(KLVPS_PLUGIN_PATH) + " " +
                                Quoted(KLVPS_CUPSFILTER_PATH) + " 3 ann Minutes 1 " +
                                Quoted(option + "=" + Quoted(value)) + " " +
                                Quoted((dir / "job.ps").string()) + " >" + Quoted(out.string());
    const support::ProcessResult run = support::RunProcess({"/bin/sh", "-c", command});
    return {run.exitStatus, support::ReadWholeFile(out), RefusalAfter(run.output, option), run.output};
}

struct AgreementCase {
    Id id;
    std::string value;
    const char* refusal; // how the refusal starts; null: accepted
};

TEST(FrontEnds, TakeTheSameValuesAndRefuseThemInTheSameWords) {
    const AgreementCase cases[] = {
        {Id::kWatermark, "TOP SECRET", nullptr},
        {Id::kWatermark, "Printed by {user} for {title} (#{job-id})", nullptr},
        {Id::kWatermark, "none", nullptr},
        {Id::kWatermark, std::string(128, 'w'), "128 characters, at most 127 allowed"},
        {Id::kWatermarkFont, "Times-Bold", nullptr},
        {Id::kWatermarkFont, "Times Bold", "'Times Bold' is not a PostScript font name"},
        {Id::kWatermarkSize, "2147483647", nullptr},
        {Id::kWatermarkSize, "0", "0 is outside 1 to 2147483647 points"},
        {Id::kWatermarkSize, "12pt", "'12pt' is not a number"},
        {Id::kWatermarkAngle, "-32768", nullptr},
        {Id::kWatermarkAngle, "32768", "32768 is outside -32768 to 32767 degrees"},
        {Id::kWatermarkColor, "200,40,40", nullptr},
        {Id::kWatermarkColor, "#C82828", nullptr},
        {Id::kWatermarkColor, "red", "'red' is not a colour (R,G,B with 0 to 255 each, or #RRGGBB)"},
        {Id::kFullPage, "true", nullptr},
        {Id::kFullPage, "maybe", "'maybe' is not a boolean (true or false)"},
        {Id::kFlip, "off", nullptr},
        {Id::kJobName, "Quarterly report", nullptr},
        {Id::kJobName, std::string(81, 'n'), "81 characters, at most 80 allowed"},
        {Id::kJobPassword, "1234", nullptr},
        {Id::kJobPassword, "12345", "5 characters, at most 4 allowed"},
    };
    support::TempDir dir;
    ASSERT_TRUE(support::WriteWholeFile(dir.Path() / "job.ps", kJob));
    for (const AgreementCase& c : cases) {
        SCOPED_TRACE(std::string(SettingOf(c.id).key) + "=" + c.value);
        const FrontEndRun klvps = Klvps(dir.Path(), c.id, c.value);
        const FrontEndRun filter = CupsFilter(dir.Path(), c.id, c.value);
        if (c.refusal == nullptr) {
            ASSERT_EQ(klvps.exitStatus, 0) << klvps.messages;
            ASSERT_EQ(filter.exitStatus, 0) << filter.messages;
            EXPECT_FALSE(klvps.job.empty());
            EXPECT_TRUE(klvps.job == filter.job) << "the front ends wrote different jobs";
        } else {
            EXPECT_NE(klvps.exitStatus, 0);
            EXPECT_NE(filter.exitStatus, 0);
            EXPECT_EQ(klvps.refusal.rfind(c.refusal, 0), 0u) << klvps.messages;
            EXPECT_EQ(filter.refusal, klvps.refusal) << filter.messages;
            EXPECT_TRUE(klvps.job.empty() && filter.job.empty()) << "a refused job was written";
        }
    }
}

} // namespace
} // namespace klv
