#include <keldar/logging/Recovery.h>

#include <keldar/core/OutputFile.h>
#include <keldar/logging/SqliteLogFile.h>

#include <algorithm>

namespace Keldar::Logging::Algorithms {

std::string RecoveryReport::summary(const std::filesystem::path& output) const
{
    std::string text = "Recovered " + std::to_string(recoveredEntries) + " of " + std::to_string(listedEntries) +
                       " entries into " + output.string() + ".";
    if (lostEntries() > 0) {
        text += " " + std::to_string(lostEntries()) + " could not be read and were lost.";
    }
    if (bookmarksOnLostEntries > 0) {
        text += " " + std::to_string(bookmarksOnLostEntries) + " of " + std::to_string(bookmarks) +
                " bookmarks were on lost entries: each moved to the next entry recovered, or left out at the end.";
    }
    return text;
}

bool recoverInto(const SqliteLogFile& source, const std::filesystem::path& output, const std::string& applicationName,
                 const std::string& applicationVersion, RecoveryReport& report, const CopyControl& control)
{
    report = RecoveryReport{};
    std::error_code error;
    if (std::filesystem::exists(output, error)) {
        report.error = "The output file already exists.";
        return false;
    }
    if (std::filesystem::equivalent(output, source.getFilePath(), error)) {
        report.error = "The output is the damaged file itself.";
        return false;
    }
    const auto counted = source.checkEntries(
        [&control](std::int64_t, std::int64_t) { return !(control.cancelled && control.cancelled()); });
    if (!counted) {
        report.cancelled = true;
        return false;
    }
    report.listedEntries = counted->listed;
    const auto readable = source.getEntryIndex(EntryIndexFilter{});
    if (readable.empty()) {
        report.error = "No entry of the log file can be read.";
        return false;
    }
    const auto bookmarks = source.getBookmarks();
    report.bookmarks = static_cast<std::int64_t>(bookmarks.size());
    report.bookmarksOnLostEntries = std::count_if(bookmarks.begin(), bookmarks.end(), [&](const Bookmark& bookmark) {
        return !std::binary_search(readable.begin(), readable.end(), bookmark.entryId);
    });

    try {
        Filesystem::OutputFile file(output);
        CopyReport copy;
        auto written = slice(source, readable.front(), readable.back(), file.temporaryPath().string(), applicationName,
                             applicationVersion, source.getCompressionLevel(), &copy, control);
        report.recoveredEntries = copy.copiedEntries;
        report.cancelled = copy.cancelled;
        if (!written) {
            if (!report.cancelled) {
                report.error = copy.error.empty() ? "The new file could not be written." : copy.error;
            }
            return false;
        }
        written.reset();
        file.commit();
    } catch (const std::exception& failure) {
        report.error = failure.what();
        return false;
    }
    return true;
}

} // namespace Keldar::Logging::Algorithms
