#pragma once

#include <Qt>

class QProgressDialog;

namespace Keldar::OndrixLumivane {

// The viewer's progress dialogs for long work on the GUI thread: frameless,
// named for the stylesheet, and as modal as the caller needs.
void prepareProgressDialog(QProgressDialog& dialog, Qt::WindowModality modality);

} // namespace Keldar::OndrixLumivane
