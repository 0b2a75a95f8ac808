// The "Watermark and Job" page: one property sheet page that edits the
// plug-in's private device-mode block the driver hands over.
//
// The page works on the controls' text and writes the block only on Apply,
// through the settings' typed setter: every value is checked against its
// row of the settings table, a refused one shows its reason beside the
// field, and then nothing at all is written and the sheet stays open.
#pragma once

#include "platform/printoem_ui.h"

namespace klv::ui {

// Fills page with the page's template, dialog procedure and a new state
// that edits block (dm::kSize bytes, which must outlive the page). The
// state is freed when the page is released; false, and nothing held, when
// memory is short.
bool PreparePage(PROPSHEETPAGEW& page, BYTE* block);

// Frees the state of a page that was prepared but never created.
void DiscardPage(PROPSHEETPAGEW& page);

} // namespace klv::ui
