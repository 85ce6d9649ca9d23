#include "export/VideoExportOptionsDialog.h"

#include "base/PanelLayout.h"
#include "base/SettingsStore.h"

#include <keldar/gui/ToggleSwitch.h>

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimeZone>
#include <QVBoxLayout>
#include <algorithm>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::Controls::ToggleSwitch;
using Ondrix::Visualisation::VideoExport::AbsoluteTimestamp;
using Ondrix::Visualisation::VideoExport::NoTimestamp;

namespace {

const QString group = QStringLiteral("VideoExportSettings");
constexpr int comboWidth = 125;

} // namespace

VideoExportOptionsDialog::VideoExportOptionsDialog(QWidget* parent)
    : QDialog(parent)
    , timestampEnable(new ToggleSwitch(this))
    , timestampType(new QComboBox(this))
    , timeZone(new QComboBox(this))
    , sonarDetailsEnable(new ToggleSwitch(this))
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
    // The computer's own zone is the default, and the list may lack it
    // ("Etc/UTC" on many Linux systems).
    if (const QByteArray own = QTimeZone::systemTimeZoneId(); !own.isEmpty() && !zones.contains(own)) {
        zones.insert(std::lower_bound(zones.begin(), zones.end(), own), own);
    }
    for (const QByteArray& zone : zones) {
        timeZone->addItem(QString::fromUtf8(zone));
    }
    timeZone->setMinimumWidth(comboWidth);
    sonarDetailsEnable->setObjectName(QStringLiteral("sonarDetailsEnable"));
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
    auto* sonar = PanelLayout::section();
    PanelLayout::addRow(sonar, QStringLiteral("Include Sonar Details:"), sonarDetailsEnable, this);
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
    layout->addSpacing(8);
    layout->addLayout(buttons);

    connect(timestampEnable, &ToggleSwitch::toggled, this, &VideoExportOptionsDialog::updateEnabling);
    connect(timestampType, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &VideoExportOptionsDialog::updateEnabling);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::hide);
    connect(exportButton, &QPushButton::clicked, this, &VideoExportOptionsDialog::requestExport);
    loadSettings();
    updateEnabling();
}

void VideoExportOptionsDialog::updateEnabling()
{
    const bool stamped = timestampEnable->isEnabled();
    timestampType->setEnabled(stamped);
    timeZone->setEnabled(stamped && timestampType->currentIndex() == AbsoluteTimestamp);
}

void VideoExportOptionsDialog::loadSettings()
{
    const auto store = openSettingsStore();
    store->beginGroup(group);
    timestampEnable->setState(store->value(QStringLiteral("TimestampEnabled"), false).toBool());
    timestampType->setCurrentIndex(std::clamp(store->value(QStringLiteral("TimestampType"), 0).toInt(), 0, 1));
    const QString zone =
        store->value(QStringLiteral("TimeZone"), QString::fromUtf8(QTimeZone::systemTimeZoneId())).toString();
    // A zone this computer does not know leaves the first one chosen.
    if (const int found = timeZone->findText(zone); found >= 0) {
        timeZone->setCurrentIndex(found);
    }
    sonarDetailsEnable->setState(store->value(QStringLiteral("SonarDetailsEnabled"), true).toBool());
    store->endGroup();
}

void VideoExportOptionsDialog::saveSettings() const
{
    const auto store = openSettingsStore();
    store->beginGroup(group);
    store->setValue(QStringLiteral("TimestampEnabled"), timestampEnable->isEnabled());
    store->setValue(QStringLiteral("TimestampType"), timestampType->currentIndex());
    store->setValue(QStringLiteral("TimeZone"), timeZone->currentText());
    store->setValue(QStringLiteral("SonarDetailsEnabled"), sonarDetailsEnable->isEnabled());
    store->endGroup();
}

void VideoExportOptionsDialog::requestExport()
{
    hide();
    saveSettings();
    VideoExportSettings settings;
    settings.timestampType = timestampEnable->isEnabled() ? timestampType->currentIndex() : NoTimestamp;
    if (timestampType->currentIndex() == AbsoluteTimestamp) {
        settings.timeZone = timeZone->currentText().toStdString();
    }
    settings.sonarDetails = sonarDetailsEnable->isEnabled();
    Q_EMIT exportRequested(settings);
}

} // namespace Keldar::OndrixLumivane
