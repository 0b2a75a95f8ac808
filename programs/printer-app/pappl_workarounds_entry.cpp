// The application's definitions of the PAPPL 1.3 functions described in
// pappl_workarounds.h. They must be in the executable itself, exported, for
// libpappl's calls to reach them; each calls PAPPL's own after.
#include "programs/printer-app/pappl_workarounds.h"

#include <dlfcn.h>

namespace {

template <typename Function> Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

using ProcessFunction = void (*)(pappl_client_t*);

} // namespace

bool klv::app::PapplFunctionsFound() {
    for (const char* name : {"_papplPrinterCheckJobs", "_papplPrinterProcessIPP", "_papplJobProcessIPP"}) {
        if (dlsym(RTLD_NEXT, name) == nullptr)
            return false;
    }
    return true;
}

extern "C" {

void _papplPrinterCheckJobs(pappl_printer_t* printer) {
    static const klv::app::CheckJobsFunction check =
        Next<klv::app::CheckJobsFunction>("_papplPrinterCheckJobs");
    if (check != nullptr)
        klv::app::CheckJobsOneAtATime(printer, check);
}

// A printer's requests (Print-Job, Create-Job, Validate-Job, ...).
void _papplPrinterProcessIPP(pappl_client_t* client) {
    static const ProcessFunction process = Next<ProcessFunction>("_papplPrinterProcessIPP");
    if (!klv::app::RefuseBadJobRequest(client) && process != nullptr)
        process(client);
}

// A job's requests (Send-Document, Cancel-Job, ...).
void _papplJobProcessIPP(pappl_client_t* client) {
    static const ProcessFunction process = Next<ProcessFunction>("_papplJobProcessIPP");
    if (!klv::app::RefuseBadJobRequest(client) && process != nullptr)
        process(client);
}

} // extern "C"
