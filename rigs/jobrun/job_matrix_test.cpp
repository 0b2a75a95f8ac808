#include "rigs/jobrun/job_matrix.h"

#include "devmode/layout.h"

#include <gtest/gtest.h>

#include <set>

namespace klv::sim {
namespace {

class JobMatrixTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim.Open(KLVPS_PLUGIN_PATH, &error)) << error;
        defaults = sim.DefaultDevMode(&error);
        ASSERT_FALSE(defaults.empty()) << error;
        matrix = JobMatrix(defaults);
    }
    const MatrixJob* Row(const std::string& name) const {
        for (const MatrixJob& row : matrix)
            if (row.name == name)
                return &row;
        return nullptr;
    }
    Simulator sim;
    std::vector<std::uint8_t> defaults;
    std::vector<MatrixJob> matrix;
};

// Rows name the files the ABIs are compared by: unique, and safe as file
// names on every platform.
TEST_F(JobMatrixTest, RowsHaveUniqueFileNames) {
    std::set<std::string> names;
    for (const MatrixJob& row : matrix) {
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        EXPECT_EQ(row.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string::npos)
            << row.name;
    }
    EXPECT_GE(matrix.size(), 20u);
}

TEST_F(JobMatrixTest, LongDocumentNameHas200Characters) {
    for (const char* name : {"document-200", "document-200-watermark-jobname"}) {
        const MatrixJob* row = Row(name);
        ASSERT_NE(row, nullptr) << name;
        EXPECT_EQ(support::Utf8ToUtf16(row->job.document).size(), 200u) << name;
    }
}

// Each row's settings reach the plug-in and show in its job; a matrix whose
// device modes were lost would compare equal jobs that test nothing.
TEST_F(JobMatrixTest, SettingsReachTheJob) {
    struct Expectation {
        const char* row;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Expectation expectations[] = {
        {"defaults", {"/kelvo$jobpassword <> put"}, {"/DrawWaterMark", "kelvo$flip"}},
        {"watermark-45-blue-144",
         {"/Angle 45 def", "/FontSize 144 def", "{0.00 0.00 1.00 setrgbcolor}", "/Watermark (WaterMark) def"},
         {}},
        {"watermark-minus60-green-24",
         {"/Angle -60 def", "/FontSize 24 def", "{0.00 0.63 0.00 setrgbcolor}"},
         {}},
        {"watermark-text-special", {"/Angle 315 def", "\\(intern\\) \\\\ "}, {}},
        {"fullpage", {"/klvdeforig"}, {}},
        {"fullpage-off", {}, {"/klvdeforig"}},
        {"flip", {"userdict /kelvo$flip true put"}, {}},
        {"jobname-password",
         {"/kelvo$jobpassword <34373131> put", "/kelvo$jobname <506179726f6c6c2072756e> put"},
         {}},
        {"password-only", {"/kelvo$jobpassword <30303432> put"}, {}},
        {"names-parentheses", {"%%Title: (Plan \\(v2\\).docx)", "%%For: (ops \\(night\\))"}, {}},
        {"names-latin1", {"%%For: (Bj\\366rn)"}, {}},
    };
    for (const Expectation& e : expectations) {
        const MatrixJob* row = Row(e.row);
        ASSERT_NE(row, nullptr) << e.row;
        const JobResult result = sim.Run(row->job);
        ASSERT_TRUE(result.ok) << e.row << ": " << result.error;
        for (const std::string& text : e.present)
            EXPECT_NE(result.postscript.find(text), std::string::npos) << e.row << " lacks " << text;
        for (const std::string& text : e.absent)
            EXPECT_EQ(result.postscript.find(text), std::string::npos) << e.row << " has " << text;
    }
}

TEST_F(JobMatrixTest, EveryRowRuns) {
    for (const MatrixJob& row : matrix) {
        const JobResult result = sim.Run(row.job);
        EXPECT_TRUE(result.ok) << row.name << ": " << result.error;
        EXPECT_TRUE(result.faults.empty()) << row.name;
    }
}

} // namespace
} // namespace klv::sim
