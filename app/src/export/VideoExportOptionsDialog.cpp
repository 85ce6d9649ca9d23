#include "export/VideoExportOptionsDialog.h"

#include "base/PanelLayout.h"
#include "base/SettingsStore.h"

#include <keldar/gui/ToggleSwitch.h>
#include <keldar/logging/videoexport/VideoExportText.h>

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeZone>
#include <QVBoxLayout>
#include <algorithm>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::Controls::ToggleSwitch;
using Ondrix::Visualisation::VideoExport::AbsoluteTimestamp;
using Ondrix::Visualisation::VideoExport::H264Mp4;
using Ondrix::Visualisation::VideoExport::Mpeg4Avi;
using Ondrix::Visualisation::VideoExport::NoTimestamp;

namespace {

const QString group = QStringLiteral("VideoExportSettings");
constexpr int comboWidth = 125;
constexpr int defaultMaxPauseSeconds = 5;

// The zone the stamps are formatted in for a zone name, empty for none.
QString formatterZone(const QString& name)
{
    const auto zone = Logging::VideoExport::formatterTimeZone(name.toStdString());
    return zone ? QString::fromStdString(*zone) : QString();
}

} // namespace

VideoExportOptionsDialog::VideoExportOptionsDialog(QWidget* parent)
    : QDialog(parent)
    , timestampEnable(new ToggleSwitch(this))
    , timestampType(new QComboBox(this))
    , timeZone(new QComboBox(this))
    , sonarDetailsEnable(new ToggleSwitch(this))
    , videoFormat(new QComboBox(this))
    , preset(new QComboBox(this))
    , zoneNote(new QLabel(this))
    , shortenPauses(new ToggleSwitch(this))
    , maxPause(new QSpinBox(this))
{
    setObjectName(QStringLiteral("video-export-options"));
    setWindowTitle(QStringLiteral("Export Options"));
    setProperty("class", QStringLiteral("inverted"));

    timestampEnable->setObjectName(QStringLiteral("timestampEnable"));
    timestampType->setObjectName(QStringLiteral("timestampType"));
    timestampType->addItems({QStringLiteral("Relative"), QStringLiteral("Absolute")});
    timestampType->setMinimumWidth(comboWidth);
    timeZone->setObjectName(QStringLiteral("timeZone"));
    QList<QByteArray> zones = QTimeZone::availableTimeZoneIds();
    // The computer's own zone may be missing from the list ("Etc/UTC" on
    // many Linux systems).
    if (const QByteArray own = QTimeZone::systemTimeZoneId(); !own.isEmpty() && !zones.contains(own)) {
        zones.insert(std::lower_bound(zones.begin(), zones.end(), own), own);
    }
    // Only zones the stamps can be written in: each item carries the name
    // the formatter knows it by.
    for (const QByteArray& zone : zones) {
        const QString name = QString::fromUtf8(zone);
        if (const QString known = formatterZone(name); !known.isEmpty()) {
            timeZone->addItem(name, known);
        }
    }
    timeZone->setMinimumWidth(comboWidth);
    sonarDetailsEnable->setObjectName(QStringLiteral("sonarDetailsEnable"));
    videoFormat->setObjectName(QStringLiteral("videoFormat"));
    videoFormat->addItem(QStringLiteral("MPEG-4 in AVI"), Mpeg4Avi);
    videoFormat->addItem(QStringLiteral("H.264 in MP4"), H264Mp4);
    videoFormat->setMinimumWidth(comboWidth);
    preset->setObjectName(QStringLiteral("preset"));
    for (const auto& name : Logging::VideoExport::h264Presets()) {
        preset->addItem(QString::fromStdString(name));
    }
    preset->setToolTip(QStringLiteral("Faster presets take less processor time and make larger files"));
    preset->setMinimumWidth(comboWidth);
    zoneNote->setObjectName(QStringLiteral("timeZoneNote"));
    zoneNote->setWordWrap(true);
    zoneNote->hide();
    shortenPauses->setObjectName(QStringLiteral("shortenPauses"));
    maxPause->setObjectName(QStringLiteral("maxPause"));
    maxPause->setRange(1, 3600);
    maxPause->setSuffix(QStringLiteral(" s"));
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    auto* exportButton = new QPushButton(QStringLiteral("Export"), this);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    exportButton->setDefault(true);

    auto* enable = PanelLayout::section();
    PanelLayout::addRow(enable, QStringLiteral("Enable timestamp:"), timestampEnable, this);
    auto* timestamp = PanelLayout::section();
    PanelLayout::addRow(timestamp, QStringLiteral("Timestamp Type: "), timestampType, this);
    PanelLayout::addRow(timestamp, QStringLiteral("Time Zone:"), timeZone, this);
    timestamp->addWidget(zoneNote, timestamp->rowCount(), 0, 1, 2);
    auto* sonar = PanelLayout::section();
    PanelLayout::addRow(sonar, QStringLiteral("Include Sonar Details:"), sonarDetailsEnable, this);
    auto* video = PanelLayout::section();
    PanelLayout::addRow(video, QStringLiteral("Format:"), videoFormat, this);
    PanelLayout::addRow(video, QStringLiteral("H.264 speed:"), preset, this);
    PanelLayout::addRow(video, QStringLiteral("Shorten pauses:"), shortenPauses, this);
    PanelLayout::addRow(video, QStringLiteral("Longer than:"), maxPause, this);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(cancelButton);
    buttons->addWidget(exportButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(8);
    layout->addLayout(enable);
    layout->addWidget(PanelLayout::divider(this));
    layout->addWidget(PanelLayout::heading(QStringLiteral("Timestamp"), this));
    layout->addLayout(timestamp);
    layout->addWidget(PanelLayout::divider(this));
    layout->addWidget(PanelLayout::heading(QStringLiteral("Sonar"), this));
    layout->addLayout(sonar);
    layout->addWidget(PanelLayout::divider(this));
    layout->addWidget(PanelLayout::heading(QStringLiteral("Video"), this));
    layout->addLayout(video);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    connect(timestampEnable, &ToggleSwitch::toggled, this, [this](bool on) {
        stamped = on;
        updateEnabling();
    });
    connect(sonarDetailsEnable, &ToggleSwitch::toggled, this, [this](bool on) { detailed = on; });
    connect(shortenPauses, &ToggleSwitch::toggled, this, [this](bool on) {
        shortened = on;
        updateEnabling();
    });
    connect(timestampType, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &VideoExportOptionsDialog::updateEnabling);
    connect(videoFormat, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &VideoExportOptionsDialog::updateEnabling);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::hide);
    connect(exportButton, &QPushButton::clicked, this, &VideoExportOptionsDialog::requestExport);
    loadSettings();
    updateEnabling();
}

void VideoExportOptionsDialog::logTimeZoneRetrieved(std::string zone)
{
    const QString named = QString::fromStdString(zone);
    if (selectZone(named)) {
        zoneNote->hide();
        return;
    }
    // Never quietly another zone: the stamps use the one shown, and the user
    // knows it is not the recording's.
    zoneNote->setText(named.isEmpty()
                          ? QStringLiteral("This recording does not say which time zone it was made in: absolute "
                                           "stamps use the zone chosen here.")
                          : QStringLiteral("This recording's time zone \"%1\" is unknown: absolute stamps use the "
                                           "zone chosen here.")
                                .arg(named));
    zoneNote->show();
}

bool VideoExportOptionsDialog::selectZone(const QString& zone)
{
    const QString known = formatterZone(zone);
    const int found = known.isEmpty() ? -1 : timeZone->findData(known);
    if (found >= 0) {
        timeZone->setCurrentIndex(found);
    }
    return found >= 0;
}

void VideoExportOptionsDialog::updateEnabling()
{
    timestampType->setEnabled(stamped);
    timeZone->setEnabled(stamped && timestampType->currentIndex() == AbsoluteTimestamp);
    maxPause->setEnabled(shortened);
    preset->setEnabled(videoFormat->currentData().toInt() == H264Mp4);
}

void VideoExportOptionsDialog::loadSettings()
{
    const auto store = openSettingsStore();
    store->beginGroup(group);
    timestampEnable->setState(store->value(QStringLiteral("TimestampEnabled"), false).toBool());
    timestampType->setCurrentIndex(std::clamp(store->value(QStringLiteral("TimestampType"), 0).toInt(), 0, 1));
    const QString own = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    // A zone the formatter does not know leaves the computer's own chosen.
    if (!selectZone(store->value(QStringLiteral("TimeZone"), own).toString())) {
        selectZone(own);
    }
    sonarDetailsEnable->setState(store->value(QStringLiteral("SonarDetailsEnabled"), true).toBool());
    videoFormat->setCurrentIndex(
        std::max(0, videoFormat->findData(store->value(QStringLiteral("VideoFormat"), Mpeg4Avi).toInt())));
    const int chosenPreset = preset->findText(
        store->value(QStringLiteral("H264Preset"), QString::fromLatin1(Logging::VideoExport::defaultH264Preset))
            .toString());
    preset->setCurrentIndex(chosenPreset >= 0
                                ? chosenPreset
                                : preset->findText(QString::fromLatin1(Logging::VideoExport::defaultH264Preset)));
    shortenPauses->setState(store->value(QStringLiteral("ShortenPauses"), false).toBool());
    maxPause->setValue(store->value(QStringLiteral("MaxPauseSeconds"), defaultMaxPauseSeconds).toInt());
    store->endGroup();
}

void VideoExportOptionsDialog::saveSettings() const
{
    const auto store = openSettingsStore();
    store->beginGroup(group);
    store->setValue(QStringLiteral("TimestampEnabled"), stamped);
    store->setValue(QStringLiteral("TimestampType"), timestampType->currentIndex());
    store->setValue(QStringLiteral("TimeZone"), timeZone->currentData().toString());
    store->setValue(QStringLiteral("SonarDetailsEnabled"), detailed);
    store->setValue(QStringLiteral("VideoFormat"), videoFormat->currentData().toInt());
    store->setValue(QStringLiteral("H264Preset"), preset->currentText());
    store->setValue(QStringLiteral("ShortenPauses"), shortened);
    store->setValue(QStringLiteral("MaxPauseSeconds"), maxPause->value());
    store->endGroup();
}

void VideoExportOptionsDialog::requestExport()
{
    hide();
    saveSettings();
    VideoExportSettings settings;
    settings.timestampType = stamped ? timestampType->currentIndex() : NoTimestamp;
    if (settings.timestampType == AbsoluteTimestamp) {
        settings.timeZone = timeZone->currentData().toString().toStdString();
    }
    settings.sonarDetails = detailed;
    settings.format = videoFormat->currentData().toInt();
    settings.preset = preset->currentText().toStdString();
    settings.maxPauseMs = shortened ? std::int64_t{maxPause->value()} * 1000 : 0;
    Q_EMIT exportRequested(settings);
}

} // namespace Keldar::OndrixLumivane
