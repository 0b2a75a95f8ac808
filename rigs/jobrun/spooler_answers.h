// The spooler's answers to the job calls the plug-in makes, as text that
// does not depend on the ABI: jobrun writes it beside the jobs, and
// scripts/abi-jobs compares the host's text with each DLL run's. A fixed
// queue is asked through EnumJobsW and GetJobW with a table of windows,
// levels, buffer sizes and null pointers; every answer is described by its
// result, last error, needed and returned counts, each record's fields with
// pointers as offsets into the answer's strings (which follow the records),
// the strings' code units, and whether any byte the answer must not write
// was written.
#pragma once

#include <string>

namespace klv::sim {

// The answers, one block per call; false with a message when the queue
// could not be set up.
bool DescribeSpoolerAnswers(std::string* text, std::string* error);

} // namespace klv::sim
