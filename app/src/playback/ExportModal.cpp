#include "playback/ExportModal.h"

#include "base/ViewerContext.h"
#include "export/VideoExportOptionsDialog.h"

#include <keldar/gui/RangeSlider.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVariant>

#include <algorithm>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::Controls::RangeSlider;
using Ondrix::Visualisation::FanDisplay;

namespace {

const QString timeFormat = QStringLiteral("HH:mm:ss");

QTime timeOf(qint64 milliseconds)
{
    return QTime(0, 0).addMSecs(static_cast<int>(milliseconds % (24LL * 3600 * 1000)));
}

} // namespace

ExportModal::ExportModal(QWidget* parent)
    : QDialog(parent)
    , rangeSlider(new RangeSlider(Qt::Horizontal, this))
    , fromTime(new QTimeEdit(this))
    , toTime(new QTimeEdit(this))
    , fanDisplay(new FanDisplay(this))
    , exportButton(new QToolButton(this))
    , logFileAction(new QAction(QStringLiteral("Log file"), this))
    , legacyLogFileAction(new QAction(QStringLiteral("Legacy log file"), this))
{
    setWindowTitle(QStringLiteral("Export"));
    setObjectName(QStringLiteral("export-modal"));
    setProperty("class", QStringLiteral("inverted"));
    setAttribute(Qt::WA_StyledBackground);

    auto* info = new QLabel(QStringLiteral("Use the slider to select the range to export."), this);
    info->setObjectName(QStringLiteral("infoLabel"));
    rangeSlider->setObjectName(QStringLiteral("exportRangeSlider"));
    rangeSlider->setHandleMovementMode(RangeSlider::NoCrossing);
    for (QTimeEdit* edit : {fromTime, toTime}) {
        edit->setDisplayFormat(timeFormat);
        edit->setTime(QTime(0, 0));
        // The arrows step seconds: stepping hours, as they would by default,
        // does nothing at all in a log shorter than an hour.
        edit->setCurrentSection(QDateTimeEdit::SecondSection);
    }
    fromTime->setObjectName(QStringLiteral("fromTime"));
    toTime->setObjectName(QStringLiteral("toTime"));
    fanDisplay->setObjectName(QStringLiteral("exportFanDisplay"));
    fanDisplay->setMinimumSize(200, 150);

    exportButton->setObjectName(QStringLiteral("exportButton"));
    exportButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    exportButton->setPopupMode(QToolButton::MenuButtonPopup);
    logFileAction->setObjectName(QStringLiteral("logFileAction"));
    logFileAction->setToolTip(QStringLiteral("A new log file."));
    auto* menu = new QMenu(exportButton);
    menu->setToolTipsVisible(true);
    menu->addAction(logFileAction);
    legacyLogFileAction->setObjectName(QStringLiteral("legacyLogFileAction"));
    legacyLogFileAction->setToolTip(QStringLiteral("A Lumivane V1 log file."));
    menu->addAction(legacyLogFileAction);
    exportButton->setMenu(menu);
    exportButton->setText(QStringLiteral("Video"));
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));

    auto* times = new QHBoxLayout();
    times->addWidget(new QLabel(QStringLiteral("From:"), this));
    times->addWidget(fromTime);
    times->addStretch(1);
    times->addWidget(new QLabel(QStringLiteral("To:"), this));
    times->addWidget(toTime);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(new QLabel(QStringLiteral("Export To:"), this));
    buttons->addWidget(exportButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(8);
    layout->addWidget(info);
    layout->addWidget(fanDisplay, 1);
    layout->addWidget(rangeSlider);
    layout->addLayout(times);
    layout->addLayout(buttons);

    connect(rangeSlider, &RangeSlider::lowerValueChanged, this, &ExportModal::rangeValueChanged);
    connect(rangeSlider, &RangeSlider::upperValueChanged, this, &ExportModal::rangeValueChanged);
    connect(fromTime, &QTimeEdit::userTimeChanged, this, &ExportModal::fromTimeEdited);
    connect(toTime, &QTimeEdit::userTimeChanged, this, &ExportModal::toTimeEdited);
    connect(this, &ExportModal::newImageReceived, fanDisplay, &FanDisplay::newImageReceived);
    connect(logFileAction, &QAction::triggered, this, [this] {
        hide();
        Q_EMIT exportToLog(rangeSlider->getLowerValue(), rangeSlider->getUpperValue());
    });
    connect(legacyLogFileAction, &QAction::triggered, this, [this] {
        hide();
        Q_EMIT exportToLegacyLog(rangeSlider->getLowerValue(), rangeSlider->getUpperValue());
    });
    connect(exportButton, &QToolButton::clicked, this, [this] {
        hide();
        getVideoOptionsDialog()->open();
    });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* application = ViewerContext::instance();
    connect(application, &ViewerContext::distanceUnitChanged, this,
            [this, application] { fanDisplay->setDistanceUnit(application->getDistanceUnit()); });
    connect(application, &ViewerContext::areaUnitChanged, this,
            [this, application] { fanDisplay->setAreaUnit(application->getAreaUnit()); });
}

void ExportModal::fitToParent()
{
    if (QWidget* area = parentWidget()) {
        resize(area->width() - margin, area->height() - margin);
        move((area->width() - width()) / 2, (area->height() - height()) / 2);
    }
}

RangeSlider* ExportModal::getRangeSlider() const
{
    return rangeSlider;
}

QTimeEdit* ExportModal::getFromTime() const
{
    return fromTime;
}

QTimeEdit* ExportModal::getToTime() const
{
    return toTime;
}

QToolButton* ExportModal::getExportButton() const
{
    return exportButton;
}

QAction* ExportModal::getLogFileAction() const
{
    return logFileAction;
}

QAction* ExportModal::getLegacyLogFileAction() const
{
    return legacyLogFileAction;
}

VideoExportOptionsDialog* ExportModal::getVideoOptionsDialog()
{
    if (videoOptionsDialog == nullptr) {
        // A window of its own over the main window: hiding the panel must
        // not take it along.
        videoOptionsDialog = new VideoExportOptionsDialog(window());
        connect(videoOptionsDialog, &VideoExportOptionsDialog::exportRequested, this,
                [this](VideoExportSettings settings) {
                    settings.startIndex = rangeSlider->getLowerValue();
                    settings.endIndex = rangeSlider->getUpperValue();
                    Q_EMIT exportToVideo(settings, fanDisplay->getCurrentDisplaySettings());
                });
    }
    return videoOptionsDialog;
}

FanDisplay* ExportModal::getFanDisplay() const
{
    return fanDisplay;
}

void ExportModal::logEntriesCounted(int count)
{
    // A new log, not a choice of the user's: no frame is requested.
    frameTimes = FrameTimes();
    const QSignalBlocker blocker(rangeSlider);
    rangeSlider->setMaximum(std::max(0, count - 1));
    rangeSlider->setSpan(rangeSlider->minimum(), rangeSlider->maximum());
}

void ExportModal::logPlayTimeReceived(int milliseconds)
{
    // A log of one frame has no time between frames.
    millisecondsPerFrame = rangeSlider->maximum() > 0 ? milliseconds / rangeSlider->maximum() : 0;
    const QSignalBlocker fromBlocker(fromTime);
    const QSignalBlocker toBlocker(toTime);
    toTime->setMaximumTime(timeOf(milliseconds));
    fromTime->setMaximumTime(timeOf(std::max<qint64>(0, milliseconds - 1000)));
    fromTime->setTime(QTime(0, 0));
    toTime->setTime(timeOf(milliseconds));
}

void ExportModal::frameTimesReceived(const std::vector<std::int64_t>& timestamps)
{
    frameTimes = FrameTimes(timestamps);
}

qint64 ExportModal::millisecondsAt(int frame) const
{
    return frameTimes.empty() ? static_cast<qint64>(frame) * millisecondsPerFrame : frameTimes.millisecondsAt(frame);
}

void ExportModal::displaySettingsReceived(const DisplaySettings& settings)
{
    fanDisplay->configureFromSettings(settings);
    auto* application = ViewerContext::instance();
    fanDisplay->setDistanceUnit(application->getDistanceUnit());
    fanDisplay->setAreaUnit(application->getAreaUnit());
}

void ExportModal::rangeValueChanged(int value)
{
    {
        const QSignalBlocker fromBlocker(fromTime);
        const QSignalBlocker toBlocker(toTime);
        fromTime->setTime(timeOf(millisecondsAt(rangeSlider->getLowerValue())));
        toTime->setTime(timeOf(millisecondsAt(rangeSlider->getUpperValue())));
    }
    Q_EMIT frameRequested(value);
}

void ExportModal::fromTimeEdited(const QTime& time)
{
    toTime->setMinimumTime(time.addSecs(1));
    const qint64 from = QTime(0, 0).msecsTo(time);
    const QSignalBlocker blocker(rangeSlider);
    if (!frameTimes.empty()) {
        // The first frame shown at that second or later.
        rangeSlider->setLowerValue(
            std::min(frameTimes.firstFrameFrom(from - from % 1000), rangeSlider->getUpperValue()));
    } else if (millisecondsPerFrame > 0) {
        rangeSlider->setLowerValue(static_cast<int>(from / millisecondsPerFrame));
    }
}

void ExportModal::toTimeEdited(const QTime& time)
{
    fromTime->setMaximumTime(time.addSecs(-1));
    const qint64 to = QTime(0, 0).msecsTo(time);
    const QSignalBlocker blocker(rangeSlider);
    if (!frameTimes.empty()) {
        // The last frame shown at that second or earlier.
        rangeSlider->setUpperValue(
            std::max(frameTimes.lastFrameBefore(to - to % 1000 + 1000), rangeSlider->getLowerValue()));
    } else if (millisecondsPerFrame > 0) {
        rangeSlider->setUpperValue(static_cast<int>(to / millisecondsPerFrame));
    }
}

void ExportModal::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Q_EMIT exportModalOpened();
}

void ExportModal::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    Q_EMIT exportModalClosed();
}

} // namespace Keldar::OndrixLumivane
