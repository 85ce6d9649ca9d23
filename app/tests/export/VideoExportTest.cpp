// The video export in the real viewer program: a signal part way through an
// export ends the viewer at once and leaves neither the video nor its
// temporary file.

#include "support/ViewerTestSupport.h"

#include "export/VideoExportOptionsDialog.h"

#include "../../../visualisation/videoexport/tests/SyntheticLog.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

using namespace Keldar::OndrixLumivane::Testing;

namespace {

// Files in `folder` whose name holds `part`.
std::vector<std::filesystem::path> filesNamed(const std::filesystem::path& folder, const std::string& part)
{
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().find(part) != std::string::npos) {
            found.push_back(entry.path());
        }
    }
    return found;
}

TEST(VideoExportOptions, ThePresetGoesWithMp4AndAnUnknownRecordedZoneIsSaidBeforeExporting)
{
    application();
    TemporarySettings settings;
    Keldar::OndrixLumivane::VideoExportOptionsDialog dialog;
    std::vector<Keldar::OndrixLumivane::VideoExportSettings> requested;
    QObject::connect(&dialog, &Keldar::OndrixLumivane::VideoExportOptionsDialog::exportRequested,
                     [&](const Keldar::OndrixLumivane::VideoExportSettings& chosen) { requested.push_back(chosen); });
    auto* format = dialog.findChild<QComboBox*>("videoFormat");
    auto* preset = dialog.findChild<QComboBox*>("preset");
    auto* zone = dialog.findChild<QComboBox*>("timeZone");
    auto* note = dialog.findChild<QLabel*>("timeZoneNote");
    ASSERT_TRUE(format && preset && zone && note);
    EXPECT_EQ(preset->currentText(), "ultrafast");
    EXPECT_FALSE(preset->isEnabled()) << "AVI has no preset";
    format->setCurrentText("H.264 in MP4");
    EXPECT_TRUE(preset->isEnabled());
    preset->setCurrentText("faster");

    dialog.logTimeZoneRetrieved("Asia/Tokyo");
    EXPECT_EQ(zone->currentData().toString(), "Asia/Tokyo");
    EXPECT_TRUE(note->isHidden());
    dialog.logTimeZoneRetrieved("Mars/Olympus");
    EXPECT_FALSE(note->isHidden());
    EXPECT_TRUE(note->text().contains("\"Mars/Olympus\" is unknown")) << note->text().toStdString();
    EXPECT_EQ(zone->currentData().toString(), "Asia/Tokyo") << "the zone shown is the one the stamps use";
    dialog.logTimeZoneRetrieved("");
    EXPECT_TRUE(note->text().contains("does not say")) << note->text().toStdString();

    dialog.findChild<QPushButton*>("exportButton")->click();
    ASSERT_EQ(requested.size(), 1U);
    EXPECT_EQ(requested[0].preset, "faster");
    Keldar::OndrixLumivane::VideoExportOptionsDialog reopened;
    EXPECT_EQ(reopened.findChild<QComboBox*>("preset")->currentText(), "faster");
}

TEST(VideoExportInTheViewer, ASignalPartWayEndsTheViewerWithinTwoSecondsAndLeavesNoFile)
{
    application();
    TemporarySettings settings;
    const std::filesystem::path folder = settings.path().toStdString();
    // Two minutes at 10 Hz: 3 600 frames of video, every third a new picture
    // drawn by the GUI thread, far more than the export reaches before the
    // signal.
    const auto log = folder / "dive.ondrix";
    Keldar::Ondrix::Visualisation::VideoExport::Testing::SyntheticLog entries;
    for (int i = 0; i < 1200; ++i) {
        entries.timestamps.push_back(1'700'000'000'000 + std::int64_t{i} * 100);
        entries.imageNumbers.push_back(static_cast<std::uint32_t>(i % 8));
    }
    Keldar::Ondrix::Visualisation::VideoExport::Testing::writeSyntheticLog(log, entries);

    for (const int signal : {SIGTERM, SIGINT}) {
        QProcess viewer;
        viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", settings.path());
        environment.insert("LUMIVANE_TEST_LOG_FRAMES", QString::number(entries.timestamps.size()));
        viewer.setProcessEnvironment(environment);
        viewer.start(LUMIVANE_VIDEO_EXPORT_CHILD, {QString::fromStdString(log.string())});
        ASSERT_TRUE(viewer.waitForStarted());
        // Under way: the temporary file is there and growing.
        std::uintmax_t firstSize = 0;
        ASSERT_TRUE(waitFor(
            [&] {
                const auto partial = filesNamed(folder, ".partial-");
                if (partial.size() != 1) {
                    return false;
                }
                std::error_code gone;
                const auto size = std::filesystem::file_size(partial.front(), gone);
                if (gone) {
                    return false;
                }
                firstSize = firstSize == 0 ? size : firstSize;
                return size > firstSize;
            },
            std::chrono::seconds(120)))
            << "the export did not start";
        QElapsedTimer clock;
        clock.start();
        ::kill(static_cast<pid_t>(viewer.processId()), signal);
        ASSERT_TRUE(viewer.waitForFinished(60000)) << "the viewer hangs after the signal";
        // How fast it must end is part of what the user asked for.
        EXPECT_LT(clock.elapsed(), 2000) << "signal " << signal;
        EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(viewer.exitCode(), 0);
        EXPECT_EQ(filesNamed(folder, ".partial-"), std::vector<std::filesystem::path>{});
        EXPECT_EQ(filesNamed(folder, "_exported"), std::vector<std::filesystem::path>{});
    }
}

} // namespace
