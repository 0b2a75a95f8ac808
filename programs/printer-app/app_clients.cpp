#include "programs/printer-app/app_clients.h"

#include <chrono>
#include <thread>

namespace klv::app::testing {

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

} // namespace klv::app::testing
