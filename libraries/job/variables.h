// Variables in the watermark's text, expanded for each job by the front
// ends before the plug-in sees the text, so that one queue default such as
// "Printed by {user} on {date}" stamps every job with its own:
//
//   {user}    the job's user          {title}   its title
//   {job-id}  its id                  {printer} the printer's (queue's) name
//   {date}    2027-03-14              {time}    09:26:53
//   {{ and }} a literal brace
//
// Date and time are the server's local time, in ISO 8601 forms.
#pragma once

#include <ctime>
#include <string>

namespace klv::job {

struct JobFacts {
    std::string user;
    std::string title;
    unsigned long jobId = 0;
    std::string printer;
    std::time_t when = 0;
};

struct Expansion {
    bool ok = false;
    std::u16string text;
    std::string unknown; // the variable there is none of, braces included, in UTF-8
};

// Expands text. A brace that opens no known variable, or a lone closing
// brace, is refused with what it opens.
Expansion ExpandVariables(const std::u16string& text, const JobFacts& facts);

// Whether text holds a brace at all (and so needs expanding).
bool HasVariables(const std::u16string& text);

} // namespace klv::job
