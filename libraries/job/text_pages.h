// Lays out a plain text file as pages of lines for a text job.
#pragma once

#include <string>
#include <vector>

namespace klv::job {

// Splits UTF-8 text into pages of at most `rows` lines of at most
// `columns` characters. Long lines are wrapped at the last space that fits,
// else cut; tabs go to the next multiple of 8 columns; a form feed starts a
// new page; CR LF counts as one line end. Empty text gives one empty page.
// Returns false with a message when the text is not UTF-8 or the area holds
// no character.
bool PaginateText(const std::string& utf8, int columns, int rows,
                  std::vector<std::vector<std::string>>* pages, std::string* error);

} // namespace klv::job
