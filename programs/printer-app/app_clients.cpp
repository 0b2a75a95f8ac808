#include "programs/printer-app/app_clients.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <string_view>
#include <thread>

namespace klv::app::testing {

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

IppResult PrintFile(const PrinterApp& app, const std::string& printer, const std::filesystem::path& file,
                    const std::string& format, const std::string& owner, const std::string& title,
                    const std::string& attributes) {
    const std::string test =
        "{\n NAME \"Print-Job\"\n OPERATION Print-Job\n GROUP operation-attributes-tag\n"
        " ATTR charset attributes-charset utf-8\n ATTR naturalLanguage attributes-natural-language en\n"
        " ATTR uri printer-uri $uri\n ATTR name requesting-user-name $owner\n ATTR name job-name $title\n"
        " ATTR mimeMediaType document-format $format\n GROUP job-attributes-tag\n" +
        attributes + " FILE $filename\n STATUS successful-ok\n}\n";
    return Ipp(app.Dir(), app.PrinterUri(printer), test,
               {{"owner", owner}, {"title", title}, {"format", format}}, file.string());
}

std::string WaitForJobEnd(const PrinterApp& app, const std::string& printer, const std::string& id) {
    constexpr const char* kGetJob =
        "{\n NAME \"Get-Job-Attributes\"\n OPERATION Get-Job-Attributes\n GROUP operation-attributes-tag\n"
        " ATTR charset attributes-charset utf-8\n ATTR naturalLanguage attributes-natural-language en\n"
        " ATTR uri printer-uri $uri\n ATTR integer job-id $job\n STATUS successful-ok\n}\n";
    std::string state;
    for (int i = 0; i < 900; ++i) {
        state = Ipp(app.Dir(), app.PrinterUri(printer), kGetJob, {{"job", id}}).Value("job-state");
        if (state == "completed" || state == "aborted" || state == "canceled")
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return state;
}

std::vector<std::string> ReceivedJobs(const klv::testing::LoopbackPrinter& printer) {
    std::vector<std::filesystem::path> files = printer.Jobs(".prn");
    for (const std::filesystem::path& open : printer.Partial())
        files.push_back(open);
    std::vector<std::string> jobs;
    constexpr std::string_view kStart = "%!PS-Adobe-";
    constexpr std::string_view kEnd = "%%EOF";
    for (const std::filesystem::path& file : files) {
        const std::string received = ReadAll(file);
        for (std::size_t at = received.find(kStart); at != std::string::npos;) {
            const std::size_t next = received.find(kStart, at + 1);
            std::string job = received.substr(at, next == std::string::npos ? next : next - at);
            if (job.find(kEnd) != std::string::npos)
                jobs.push_back(std::move(job));
            at = next;
        }
    }
    return jobs;
}

bool WaitForReceivedJobs(const klv::testing::LoopbackPrinter& printer, std::size_t count, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (ReceivedJobs(printer).size() < count) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

} // namespace klv::app::testing
