// The video export's options: the preset, and the recorded zone said before
// exporting.

#include "support/ViewerTestSupport.h"

#include "export/VideoExportOptionsDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace Keldar::OndrixLumivane::Testing;

namespace {

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

} // namespace
