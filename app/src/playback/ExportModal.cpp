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
#include <functional>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::Controls::RangeSlider;
using Ondrix::Visualisation::FanDisplay;

namespace {

const QString timeFormat = QStringLiteral("HH:mm:ss.zzz");
constexpr qint64 lastTimeOfDay = 24LL * 3600 * 1000 - 1;

QTime timeOf(qint64 milliseconds)
{
    return QTime(0, 0).addMSecs(static_cast<int>(std::clamp<qint64>(milliseconds, 0, lastTimeOfDay)));
}

qint64 millisecondsOf(const QTime& time)
{
    return QTime(0, 0).msecsTo(time);
}

// A time field whose arrows (buttons, keys, wheel) ask for a step instead of
// changing the time: the span decides where the end goes, and the field then
// shows the time of that frame.
class SpanTimeEdit : public QTimeEdit
{
public:
    using QTimeEdit::QTimeEdit;

    std::function<void(qint64)> onStep;

    void stepBy(int steps) override
    {
        qint64 unit = 1; // the milliseconds: one frame at least
        switch (currentSection()) {
        case HourSection:
            unit = 3600 * 1000;
            break;
        case MinuteSection:
            unit = 60 * 1000;
            break;
        case SecondSection:
            unit = 1000;
            break;
        default:
            break;
        }
        if (onStep) {
            onStep(unit * steps);
        }
    }

protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};

} // namespace

ExportModal::ExportModal(QWidget* parent)
    : QDialog(parent)
    , rangeSlider(new RangeSlider(Qt::Horizontal, this))
    , fromTime(new SpanTimeEdit(this))
    , toTime(new SpanTimeEdit(this))
    , spanLabel(new QLabel(this))
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
    spanLabel->setObjectName(QStringLiteral("spanLabel"));
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
    auto* summary = new QHBoxLayout();
    summary->addStretch(1);
    summary->addWidget(spanLabel);
    summary->addStretch(1);
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
    layout->addLayout(summary);
    layout->addLayout(buttons);

    connect(rangeSlider, &RangeSlider::lowerValueChanged, this, [this](int frame) {
        span.setFirst(frame);
        spanChanged(FirstEnd);
    });
    connect(rangeSlider, &RangeSlider::upperValueChanged, this, [this](int frame) {
        span.setLast(frame);
        spanChanged(LastEnd);
    });
    static_cast<SpanTimeEdit*>(fromTime)->onStep = [this](qint64 milliseconds) {
        span.stepFrom(milliseconds);
        spanChanged(FirstEnd);
    };
    static_cast<SpanTimeEdit*>(toTime)->onStep = [this](qint64 milliseconds) {
        span.stepTo(milliseconds);
        spanChanged(LastEnd);
    };
    // A typed time counts once it is finished, not at each digit.
    connect(fromTime, &QTimeEdit::editingFinished, this, [this] { applyTypedTime(FirstEnd); });
    connect(toTime, &QTimeEdit::editingFinished, this, [this] { applyTypedTime(LastEnd); });
    connect(this, &ExportModal::newImageReceived, fanDisplay, &FanDisplay::newImageReceived);
    connect(logFileAction, &QAction::triggered, this, [this] {
        applyTypedTimes();
        hide();
        Q_EMIT exportToLog(span.first(), span.last());
    });
    connect(legacyLogFileAction, &QAction::triggered, this, [this] {
        applyTypedTimes();
        hide();
        Q_EMIT exportToLegacyLog(span.first(), span.last());
    });
    connect(exportButton, &QToolButton::clicked, this, [this] {
        applyTypedTimes();
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

QLabel* ExportModal::getSpanLabel() const
{
    return spanLabel;
}

const ExportSpan& ExportModal::getSpan() const
{
    return span;
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
                    settings.startIndex = span.first();
                    settings.endIndex = span.last();
                    Q_EMIT exportToVideo(settings, fanDisplay->getCurrentDisplaySettings());
                });
        if (!logTimeZone.empty()) {
            videoOptionsDialog->logTimeZoneRetrieved(logTimeZone);
        }
    }
    return videoOptionsDialog;
}

FanDisplay* ExportModal::getFanDisplay() const
{
    return fanDisplay;
}

void ExportModal::logTimeZoneRetrieved(std::string zone)
{
    logTimeZone = zone;
    if (videoOptionsDialog != nullptr) {
        videoOptionsDialog->logTimeZoneRetrieved(zone);
    }
}

void ExportModal::logEntriesCounted(int count)
{
    // A new log, not a choice of the user's: no frame is requested.
    span.setLog(count);
    showSpan();
}

void ExportModal::logPlayTimeReceived(int milliseconds)
{
    span.setPlayTime(milliseconds);
    showSpan();
}

void ExportModal::frameTimesReceived(const std::vector<std::int64_t>& timestamps)
{
    span.setTimestamps(timestamps);
    showSpan();
}

void ExportModal::displaySettingsReceived(const DisplaySettings& settings)
{
    fanDisplay->configureFromSettings(settings);
    auto* application = ViewerContext::instance();
    fanDisplay->setDistanceUnit(application->getDistanceUnit());
    fanDisplay->setAreaUnit(application->getAreaUnit());
}

void ExportModal::applyTypedTime(End end)
{
    // Only a time that differs from the one shown is a request: leaving a
    // field finishes its editing too, and frames may share a millisecond.
    const qint64 typed = millisecondsOf((end == FirstEnd ? fromTime : toTime)->time());
    if (typed == (end == FirstEnd ? span.from() : span.to())) {
        return;
    }
    if (end == FirstEnd) {
        span.setFrom(typed);
    } else {
        span.setTo(typed);
    }
    spanChanged(end);
}

void ExportModal::applyTypedTimes()
{
    // A time typed and not yet entered (the export button takes no focus) is
    // part of the span exported.
    applyTypedTime(FirstEnd);
    applyTypedTime(LastEnd);
}

void ExportModal::spanChanged(End moved)
{
    showSpan();
    Q_EMIT frameRequested(moved == FirstEnd ? span.first() : span.last());
}

void ExportModal::showSpan()
{
    {
        const QSignalBlocker blocker(rangeSlider);
        rangeSlider->setMaximum(std::max(0, span.frameCount() - 1));
        rangeSlider->setSpan(span.first(), span.last());
    }
    const QTime end = timeOf(span.logDuration());
    for (QTimeEdit* edit : {fromTime, toTime}) {
        const QSignalBlocker blocker(edit);
        edit->setTimeRange(QTime(0, 0), end);
    }
    {
        const QSignalBlocker fromBlocker(fromTime);
        const QSignalBlocker toBlocker(toTime);
        fromTime->setTime(timeOf(span.from()));
        toTime->setTime(timeOf(span.to()));
    }
    spanLabel->setText(QStringLiteral("Duration: %1 · %2 of %3 frames")
                           .arg(timeOf(span.duration()).toString(timeFormat))
                           .arg(span.frames())
                           .arg(span.frameCount()));
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
