#include "programs/printer-app/pappl_workarounds.h"

#include "libraries/support/files.h"
#include "programs/printer-app/driver.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

// PAPPL's check for a printer's next job (through the application's own
// definition in pappl_workarounds_entry.cpp).
extern "C" void _papplPrinterCheckJobs(pappl_printer_t* printer);

namespace klv::app {

namespace {

// What a printer's active jobs say about the next job PAPPL would start.
struct Queue {
    bool printing = false;               // a job is being printed
    pappl_job_t* firstPending = nullptr; // the job PAPPL starts next
    bool held = false;                   // a held job, which a check may release and start
};

bool IsRasterStream(pappl_job_t* job) {
    const char* format = papplJobGetFormat(job);
    return format != nullptr &&
           (std::strcmp(format, "image/pwg-raster") == 0 || std::strcmp(format, "image/urf") == 0);
}

Queue Survey(pappl_printer_t* printer) {
    Queue queue;
    papplPrinterIterateActiveJobs(
        printer,
        [](pappl_job_t* job, void* data) {
            Queue& q = *static_cast<Queue*>(data);
            switch (papplJobGetState(job)) {
            case IPP_JSTATE_PROCESSING:
                q.printing = true;
                break;
            case IPP_JSTATE_PENDING:
                if (q.firstPending == nullptr)
                    q.firstPending = job;
                break;
            case IPP_JSTATE_HELD:
                q.held = true;
                break;
            default:
                break;
            }
        },
        &queue, 1, 0);
    return queue;
}

} // namespace

void CheckJobsOneAtATime(pappl_printer_t* printer, CheckJobsFunction check) {
    static std::mutex oneAtATime;
    const std::lock_guard<std::mutex> lock(oneAtATime);
    const Queue before = Survey(printer);
    // A job being printed starts the next when it ends; a raster job
    // waiting here is printed by its client's own thread as it arrives.
    if (before.printing || (before.firstPending != nullptr && IsRasterStream(before.firstPending)))
        return;
    const int completed = papplPrinterGetNumberOfCompletedJobs(printer);
    check(printer);
    if (before.firstPending == nullptr && !before.held)
        return;
    // Until the job's thread has marked it as printing, another check
    // would start it again: wait until a job prints, or one has ended
    // since (a short job can end before it is seen printing). Which job the
    // check started is not known here: a job sent meanwhile can come first.
    // Bounded, for a check that started nothing.
    pappl_system_t* system = papplPrinterGetSystem(printer);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until && papplSystemIsRunning(system)) {
        const Queue after = Survey(printer);
        if (after.printing || after.firstPending == nullptr ||
            papplPrinterGetNumberOfCompletedJobs(printer) != completed)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

namespace {

// The answer's status and words, with the attribute in the unsupported
// group.
void Refuse(pappl_client_t* client, ipp_status_t status, ipp_attribute_t* attr, const std::string& message) {
    papplClientRespondIPP(client, status, "%s", message.c_str());
    if (attr == nullptr)
        return;
    ipp_t* response = papplClientGetResponse(client);
    ipp_attribute_t* unsupported = ippCopyAttribute(response, attr, 0);
    ippSetGroupTag(response, &unsupported, IPP_TAG_UNSUPPORTED_GROUP);
}

} // namespace

// A printer's new defaults (Set-Printer-Attributes, which `modify -o`
// sends), checked over its present ones as a job's settings are: a default
// the plug-in refuses would otherwise be stored and abort every job.
bool RefuseBadDefaults(pappl_client_t* client, pappl_printer_t* printer) {
    ipp_t* request = papplClientGetRequest(client);
    const FindAttribute findDefault = [request](const char* name) {
        return ippFindAttribute(request, (std::string(name) + "-default").c_str(), IPP_TAG_ZERO);
    };
    std::vector<std::uint8_t> block;
    const std::optional<AttributeRefusal> refusal = BuildJobBlock(printer, findDefault, &block);
    if (!refusal)
        return false;
    papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Set-Printer-Attributes refused: %s",
                    refusal->message.c_str());
    Refuse(client, IPP_STATUS_ERROR_ATTRIBUTES_OR_VALUES, findDefault(refusal->attribute.c_str()),
           refusal->message);
    return true;
}

bool RefuseBadJobRequest(pappl_client_t* client) {
    const ipp_op_t op = papplClientGetOperation(client);
    pappl_printer_t* printer = papplClientGetPrinter(client);
    if (op == IPP_OP_SET_PRINTER_ATTRIBUTES && printer != nullptr)
        return RefuseBadDefaults(client, printer);
    const bool createsJob = op == IPP_OP_PRINT_JOB || op == IPP_OP_CREATE_JOB || op == IPP_OP_VALIDATE_JOB;
    const bool carriesDocument = op == IPP_OP_PRINT_JOB || op == IPP_OP_SEND_DOCUMENT;
    if ((!createsJob && !carriesDocument) || printer == nullptr)
        return false;
    ipp_t* request = papplClientGetRequest(client);
    const FindAttribute find = [request](const char* name) {
        return ippFindAttribute(request, name, IPP_TAG_ZERO);
    };
    // PAPPL 1.3 takes any document format and aborts the job it cannot print.
    ipp_attribute_t* format = ippFindAttribute(request, "document-format", IPP_TAG_MIMETYPE);
    const char* type = format != nullptr ? ippGetString(format, 0, nullptr) : nullptr;
    if (type != nullptr && !CanPrint(type)) {
        const std::string message =
            std::string("document-format: ") + type + " is not a format the printer takes";
        papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "%s refused: %s", ippOpString(op), message.c_str());
        Refuse(client, IPP_STATUS_ERROR_DOCUMENT_FORMAT_NOT_SUPPORTED, format, message);
        return true;
    }
    if (!createsJob)
        return false;
    std::vector<std::uint8_t> block;
    const std::optional<AttributeRefusal> refusal = BuildJobBlock(printer, find, &block);
    if (!refusal)
        return false;
    papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "%s refused: %s", ippOpString(op),
                    refusal->message.c_str());
    Refuse(client, IPP_STATUS_ERROR_ATTRIBUTES_OR_VALUES, find(refusal->attribute.c_str()), refusal->message);
    return true;
}

bool RequeueInterruptedJobs(const std::string& stateFile, std::string* error) {
    std::string text;
    if (std::optional<std::string> read = support::ReadFile(stateFile, error))
        text = std::move(*read);
    else
        return true; // no state yet
    // Job lines as PAPPL 1.3 writes them:
    //   Job created="..." ... processing="1796890273" state="5" username="..."
    static const std::regex kPrinting(R"(^(Job .*?)( processing="[0-9]+")?( state=")5(".*)$)");
    std::string out;
    bool changed = false;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (std::smatch m; line.rfind("Job ", 0) == 0 && std::regex_match(line, m, kPrinting)) {
            line = m[1].str() + m[3].str() + std::to_string(IPP_JSTATE_PENDING) + m[4].str();
            changed = true;
        }
        out += line + "\n";
    }
    return !changed || support::WriteFileAtomically(stateFile, out, error);
}

void StartRestoredJobs(pappl_system_t* system) {
    std::thread([system] {
        for (int i = 0; i < 3000 && !papplSystemIsRunning(system); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        // Checked after the iteration, which holds the system's lock that
        // a job's start takes after the printer's.
        std::vector<pappl_printer_t*> printers;
        papplSystemIteratePrinters(
            system,
            [](pappl_printer_t* printer, void* data) {
                static_cast<std::vector<pappl_printer_t*>*>(data)->push_back(printer);
            },
            &printers);
        for (pappl_printer_t* printer : printers)
            _papplPrinterCheckJobs(printer);
    }).detach();
}

} // namespace klv::app
