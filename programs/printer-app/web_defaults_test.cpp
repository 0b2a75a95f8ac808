// The printer's printing-defaults page of the application's web interface
// in a real browser: a person types the watermark text and colour into the
// form and saves it, and the next job carries them. With
// KLVPS_SCREENSHOT=FILE the test also keeps the saved page as a PNG there
// (the README's picture).
#include "libraries/support/temp_dir.h"
#include "programs/printer-app/app_clients.h"
#include "programs/printer-app/headless_browser.h"
#include "testing/require_ghostscript.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>

namespace klv::app::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

bool ChromiumInstalled() {
    return support::RunProcess({"chromium", "--version"}, 30).exitStatus == 0;
}

TEST(WebDefaultsTest, WatermarkTypedIntoThePrintingDefaultsPageReachesTheNextJob) {
    KLV_REQUIRE_GHOSTSCRIPT();
    if (!ChromiumInstalled())
        GTEST_SKIP() << "chromium is not installed (scripts/setup app)";
    support::TempDir dir;
    klv::testing::LoopbackPrinter printer(dir.Path() / "printer");
    PrinterApp app;
    ASSERT_TRUE(app.Running()) << app.Log();
    std::string output;
    ASSERT_TRUE(app.AddPrinter("lab", printer.Uri(), &output)) << output;

    HeadlessBrowser browser(dir.Path());
    ASSERT_TRUE(browser.Running()) << browser.Error();
    const std::string page = "http://127.0.0.1:" + std::to_string(app.Port()) + "/lab/printing";
    ASSERT_TRUE(browser.Open(page)) << browser.Error();
    ASSERT_EQ(browser.Evaluate("document.forms.length"), 1) << browser.Error();
    ASSERT_TRUE(browser.Type("input[name='klvps-watermark']", "CONFIDENTIAL")) << browser.Error();
    ASSERT_TRUE(browser.Type("input[name='klvps-watermark-color']", "#C82828")) << browser.Error();
    ASSERT_TRUE(browser.Click("input[type='submit']")) << browser.Error();
    EXPECT_EQ(browser.Evaluate("document.body.innerText.includes('Changes saved')"), true)
        << browser.Evaluate("document.body.innerText").dump() << app.Log();

    // What the page shows when opened again is what the printer keeps.
    ASSERT_TRUE(browser.Open(page)) << browser.Error();
    EXPECT_EQ(browser.Evaluate("document.querySelector(\"input[name='klvps-watermark']\").value"),
              "CONFIDENTIAL");
    const std::string png = browser.Screenshot();
    ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n") << browser.Error();
    if (const char* keep = std::getenv("KLVPS_SCREENSHOT"))
        std::ofstream(keep, std::ios::binary) << png;

    const fs::path document = dir.Path() / "memo.txt";
    std::ofstream(document) << "Board memo\n";
    const IppResult sent = PrintFile(app, "lab", document, "text/plain", "erin", "Board memo");
    ASSERT_EQ(sent.status, 0) << sent.output;
    ASSERT_TRUE(printer.WaitForDocuments(1, 90)) << app.Log();
    const json report = json::parse(CheckJson(dir.Path(), printer.Documents().front()), nullptr, false);
    ASSERT_TRUE(report.is_object()) << app.Log();
    EXPECT_EQ(report["accounting"]["user"]["text"], "erin");
    EXPECT_EQ(report["watermark"]["text"]["text"], "CONFIDENTIAL");
    // The plug-in writes each channel with two decimals: 200 comes back as 199.
    EXPECT_NEAR(report["watermark"]["rgb"]["red"].get<int>(), 200, 2) << report.dump(1);
    EXPECT_NEAR(report["watermark"]["rgb"]["green"].get<int>(), 40, 2);
    EXPECT_NEAR(report["watermark"]["rgb"]["blue"].get<int>(), 40, 2);
}

} // namespace
} // namespace klv::app::testing
