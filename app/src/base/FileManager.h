#pragma once

#include <QUrl>

#include <functional>
#include <string>

namespace Keldar::OndrixLumivane {

/// Shows the user's files in the desktop's file manager. By default the
/// folder is handed to QDesktopServices; tests install an opener that notes
/// the folder instead of starting a file manager.
class FileManager
{
public:
    using Opener = std::function<bool(const QUrl& folder)>;

    /// An empty opener restores the default.
    static void setOpener(Opener opener);

    /// Opens the folder that holds `file`; false when nothing could open it.
    static bool showFolderOf(const std::string& file);
};

} // namespace Keldar::OndrixLumivane
