#pragma once

#include "support/ViewerTestSupport.h"

#include <QDir>
#include <QString>

#include <cstdio>
#include <optional>

namespace Keldar::OndrixLumivane::Testing {

// The start every screenshot tour shares: its one argument is the folder the
// pictures go to, made if missing; the application object exists afterwards.
inline std::optional<QString> startTour(int argc, char** argv, const char* program)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", program);
        return std::nullopt;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    application();
    return folder;
}

} // namespace Keldar::OndrixLumivane::Testing
