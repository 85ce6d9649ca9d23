#pragma once

#include <QString>

#include <functional>

namespace Keldar::OndrixLumivane {

// Shows a folder in the desktop's file manager. Tests install an opener that
// records the folder instead of starting a file manager.
class FolderOpener
{
public:
    using Opener = std::function<bool(const QString& folder)>;

    // An empty opener restores the desktop's.
    static void setOpener(Opener opener);

    // False when the desktop could not open it.
    static bool open(const QString& folder);
};

} // namespace Keldar::OndrixLumivane
