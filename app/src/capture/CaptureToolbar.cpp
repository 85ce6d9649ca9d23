#include "capture/CaptureToolbar.h"

#include "capture/BookmarkDialog.h"

#include <keldar/gui/SvgButton.h>

#include <QAction>
#include <QFrame>
#include <QKeySequence>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>

#include <QVariant>
#include <memory>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::Buttons::SvgButton;

CaptureToolbar::CaptureToolbar(QWidget* parent)
    : ToolbarBase(parent)
    , recordButton(makeButton<SvgButton>(QStringLiteral("recordLogButton"),
                                         QStringLiteral(":/keldar-icons/Capture/Record.svg"),
                                         QStringLiteral("Start recording log file"), this))
    , stopButton(makeButton<SvgButton>(QStringLiteral("stopRecordingButton"),
                                       QStringLiteral(":/keldar-icons/Capture/StopRecording.svg"),
                                       QStringLiteral("Stop recording log file"), this))
    , bookmarkButton(makeButton<SvgButton>(QStringLiteral("addBookmarkButton"),
                                           QStringLiteral(":/keldar-icons/Playback/AddBookmark.svg"),
                                           QStringLiteral("Add bookmark to log file"), this))
    , captureButton(makeButton<SvgButton>(QStringLiteral("captureImageButton"),
                                          QStringLiteral(":/keldar-icons/Capture/StillCapture.svg"),
                                          QStringLiteral("Capture a still image"), this))
    , divider(new QFrame(this))
    , startStopShortcut(new QShortcut(this))
    , stillCaptureShortcut(new QShortcut(this))
{
    setMinimumWidth(36);
    stopButton->setCheckable(true);
    divider->setObjectName(QStringLiteral("line"));
    divider->setProperty("class", QStringLiteral("sectionDivider"));
    divider->setFrameShape(QFrame::HLine);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(divider);
    for (QWidget* button : {recordButton, stopButton, bookmarkButton, captureButton}) {
        layout->addWidget(button, 0, Qt::AlignHCenter);
    }
    // Window-wide, but only while the toolbar is shown. A held key acts once:
    // its repeats would stop and restart the recording, or pile up stills.
    for (QShortcut* shortcut : {startStopShortcut, stillCaptureShortcut}) {
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        shortcut->setEnabled(false);
    }

    connect(recordButton, &QAbstractButton::clicked, this, &CaptureToolbar::startLogging);
    connect(stopButton, &QAbstractButton::clicked, this, [this] {
        Q_EMIT stopLogging();
        loggingStopped();
    });
    connect(bookmarkButton, &QAbstractButton::clicked, this, &CaptureToolbar::currentEntryIdRequested);
    connect(captureButton, &QAbstractButton::clicked, this, &CaptureToolbar::stillCapture);
    auto* geoTiff = new QAction(QStringLiteral("Save frame as GeoTIFF"), captureButton);
    geoTiff->setObjectName(QStringLiteral("geoTiffCaptureAction"));
    captureButton->addAction(geoTiff);
    captureButton->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(geoTiff, &QAction::triggered, this, &CaptureToolbar::geoTiffCapture);
    connect(startStopShortcut, &QShortcut::activated, this,
            [this] { (recordButton->isVisible() ? recordButton : stopButton)->click(); });
    connect(stillCaptureShortcut, &QShortcut::activated, captureButton, &QAbstractButton::click);
    setMode(Live);
}

void CaptureToolbar::setMode(int newMode)
{
    mode = newMode;
    stopButton->hide();
    bookmarkButton->hide();
    captureButton->show();
    recordButton->setVisible(mode == Live);
}

void CaptureToolbar::requestBookmark(int32_t entryId, const std::optional<Logging::Bookmark>& existing)
{
    auto dialog = existing ? std::make_unique<BookmarkDialog>(QStringLiteral("Edit Bookmark"), existing->title,
                                                              existing->comments, parentWidget())
                           : std::make_unique<BookmarkDialog>(QStringLiteral("New Bookmark"), parentWidget());
    if (dialog->run() == QDialog::Accepted) {
        Q_EMIT newBookmarkRequested(entryId, dialog->getTitle(), dialog->getComments());
    }
}

CaptureToolbar::SvgButton* CaptureToolbar::getRecordButton() const
{
    return recordButton;
}

CaptureToolbar::SvgButton* CaptureToolbar::getStopButton() const
{
    return stopButton;
}

CaptureToolbar::SvgButton* CaptureToolbar::getBookmarkButton() const
{
    return bookmarkButton;
}

CaptureToolbar::SvgButton* CaptureToolbar::getCaptureButton() const
{
    return captureButton;
}

void CaptureToolbar::loggingStarted()
{
    recordButton->hide();
    stopButton->show();
    bookmarkButton->show();
}

void CaptureToolbar::loggingStopped()
{
    stopButton->hide();
    bookmarkButton->hide();
    // Only a live sonar can be recorded.
    recordButton->setVisible(mode == Live);
}

void CaptureToolbar::loadShortcuts()
{
    settings().beginGroup(QString::fromLatin1(settingsGroup));
    loadShortcut(startStopShortcut, "startStopLoggingShortcut");
    loadShortcut(stillCaptureShortcut, "stillCaptureShortcut");
    settings().endGroup();
}

// Nothing to keep between sessions.
void CaptureToolbar::restoreState(int /*mode*/) {}

void CaptureToolbar::saveState() {}

void CaptureToolbar::resetControls()
{
    hide();
}

void CaptureToolbar::showEvent(QShowEvent* event)
{
    ToolbarBase::showEvent(event);
    startStopShortcut->setEnabled(true);
    stillCaptureShortcut->setEnabled(true);
}

void CaptureToolbar::hideEvent(QHideEvent* event)
{
    ToolbarBase::hideEvent(event);
    startStopShortcut->setEnabled(false);
    stillCaptureShortcut->setEnabled(false);
}

} // namespace Keldar::OndrixLumivane
