// Where the printer application steps in front of three functions of PAPPL
// 1.3 (libpappl calls them through its own symbol table, so the
// application's definitions in pappl_workarounds_entry.cpp take their
// place and call PAPPL's after):
//
// - Job starts, one at a time. PAPPL 1.3 decides whether a printer may start
//   its next job by reading the printer's current job without its lock, and
//   a job counts as printing only once the thread started for it runs. Two
//   checks close together (two Print-Jobs arriving, or one arriving as a job
//   ends) can start two threads for one job; they share the printer's device
//   and the first to finish closes it under the other.
// - Job requests checked before the job exists. PAPPL 1.3 takes vendor
//   attributes and document formats without checking them, and calls the
//   system's operation callback only for operations it does not know, so a
//   Print-Job with a value the plug-in refuses or a format nothing prints
//   would be accepted and fail later.
#pragma once

#include <pappl/pappl.h>

#include <string>

namespace klv::app {

using CheckJobsFunction = void (*)(pappl_printer_t*);

// Runs PAPPL's check for a printer's next job, one check at a time across
// the application, and returns only once a job the check started has been
// taken by its thread. Does not run it while the printer prints a job or
// when the next job is a raster stream (its client's thread prints it).
void CheckJobsOneAtATime(pappl_printer_t* printer, CheckJobsFunction check);

// Answers a request that would make a job the printer cannot print, before
// PAPPL makes the job, and returns true; false for every other request:
// - Print-Job and Send-Document with a document-format the application
//   does not print: client-error-document-format-not-supported;
// - Print-Job, Create-Job and Validate-Job with a klvps setting or job
//   password (over the printer's defaults) the plug-in refuses:
//   client-error-attributes-or-values-not-supported with the reason.
// - Set-Printer-Attributes with a klvps default the plug-in refuses: the
//   same status and reason, and the defaults stay as they were.
// The attribute goes in the unsupported group.
bool RefuseBadJobRequest(pappl_client_t* client);

// PAPPL 1.3 keeps jobs in the state file, but a job that was printing when
// the application stopped comes back as printing with no thread to print
// it, which keeps every job behind it waiting, and nothing starts restored
// jobs until another job arrives. Before the state is loaded: the state
// file's printing jobs become pending again (printed from the start, as a
// spooler retries a job). False with the reason when the file cannot be
// rewritten.
bool RequeueInterruptedJobs(const std::string& stateFile, std::string* error);

// Whether libpappl has the three functions the application steps in front
// of; without them no job would ever start, so the server must not run.
bool PapplFunctionsFound();

// Once the system runs: starts each printer's restored jobs.
void StartRestoredJobs(pappl_system_t* system);

} // namespace klv::app
