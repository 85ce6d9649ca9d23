#include "export/FolderOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace Keldar::OndrixLumivane {

namespace {

FolderOpener::Opener& installed()
{
    static FolderOpener::Opener opener;
    return opener;
}

} // namespace

void FolderOpener::setOpener(Opener opener)
{
    installed() = std::move(opener);
}

bool FolderOpener::open(const QString& folder)
{
    if (installed()) {
        return installed()(folder);
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace Keldar::OndrixLumivane
