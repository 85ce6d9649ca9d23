#include "base/FileManager.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace Keldar::OndrixLumivane {

namespace {
FileManager::Opener& opener()
{
    static FileManager::Opener current;
    return current;
}
} // namespace

void FileManager::setOpener(Opener newOpener)
{
    opener() = std::move(newOpener);
}

bool FileManager::showFolderOf(const std::string& file)
{
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(QString::fromStdString(file)).absolutePath());
    if (opener()) {
        return opener()(folder);
    }
    return QDesktopServices::openUrl(folder);
}

} // namespace Keldar::OndrixLumivane
