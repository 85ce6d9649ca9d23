#include "base/ProgressDialogs.h"

#include <QProgressDialog>

namespace Keldar::OndrixLumivane {

void prepareProgressDialog(QProgressDialog& dialog, Qt::WindowModality modality)
{
    dialog.setObjectName(QStringLiteral("progress-dialog"));
    dialog.setWindowModality(modality);
    dialog.setWindowFlag(Qt::FramelessWindowHint);
}

} // namespace Keldar::OndrixLumivane
