#pragma once

// Types the log side of the controller sends through queued Qt signals, from
// the log player's thread to the GUI thread.

#include <keldar/logging/DataEntry.h>
#include <keldar/logging/PlayerBookmark.h>

#include <QMetaType>

#include <vector>

Q_DECLARE_METATYPE(Keldar::Logging::Playback::PlayerBookmark)
Q_DECLARE_METATYPE(std::vector<Keldar::Logging::Playback::PlayerBookmark>)
