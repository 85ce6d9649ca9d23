// Not a test: saves pictures of recording and playback in each theme (the
// recording sidebar and clock, the bookmark dialog and panel, the timeline
// with a bookmark hovered and selected, the speed pop-out and the export
// panel) for a person to look at.

#include "screenshots/TourStart.h"
#include "support/LogTestSupport.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "capture/BookmarkDialog.h"
#include "capture/CaptureToolbar.h"
#include "controller/MainController.h"
#include "export/VideoExportOptionsDialog.h"
#include "playback/BookmarkControls.h"
#include "playback/BookmarkListWidget.h"
#include "playback/ExportModal.h"
#include "playback/PlaybackToolbar.h"
#include "playback/ScrubControl.h"
#include "playback/ScrubSlider.h"

#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/SvgButton.h>
#include <keldar/gui/ThemeManager.h>

#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <cstdio>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;

namespace {

bool save(QWidget& widget, const QString& path)
{
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", path.toLocal8Bit().constData());
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    const std::optional<QString> outFolder = startTour(argc, argv, "lumivane-recording-tour");
    if (!outFolder) {
        return 2;
    }
    const QString& folder = *outFolder;
    ViewerSession viewer;
    QTemporaryDir logs;
    auto sonar = connectViewer(viewer, 40041, logs.path().toStdString());
    const char* names[] = {"dark", "light", "midnight", "forest"};
    bool ok = true;
    auto* capture = viewer.window->getCaptureToolbar();
    capture->getRecordButton()->click();
    ok = waitFor([&] { return viewer.controller->getLastEntryID() > 30; }) && ok;
    for (int theme = 0; theme < 4; ++theme) {
        viewer.application->getThemeManager()->setTheme(theme);
        QTest::qWait(300);
        ok = save(*viewer.window, QString("%1/recording-%2.png").arg(folder, names[theme])) && ok;
        BookmarkDialog dialog(QStringLiteral("New Bookmark"), viewer.window.get());
        dialog.findChild<QLineEdit*>("title")->setText("Wreck on the north side");
        dialog.show();
        QTest::qWait(200);
        ok = save(dialog, QString("%1/bookmark-dialog-%2.png").arg(folder, names[theme])) && ok;
    }

    BookmarkDialog::setRunner([](BookmarkDialog& dialog) {
        dialog.findChild<QLineEdit*>("title")->setText("Wreck");
        return static_cast<int>(QDialog::Accepted);
    });
    capture->getBookmarkButton()->click();
    capture->getStopButton()->click();
    const auto path = viewer.controller->getRecordingPath();
    const auto files = filesIn(logs.path().toStdString(), ".ondrix");
    viewer.controller->disconnectFromSonar();
    viewer.controller->openLogFile(files.front().string());
    auto* toolbar = viewer.window->getPlaybackToolbar();
    toolbar->getScrubButton()->click();
    toolbar->getBookmarksButton()->click();
    toolbar->getSpeedButton()->click();
    BookmarkDialog::setRunner([](BookmarkDialog& dialog) {
        dialog.findChild<QLineEdit*>("title")->setText("Reef edge");
        return static_cast<int>(QDialog::Accepted);
    });
    toolbar->getScrubControl()->getSlider()->setValue(20);
    toolbar->getBookmarkControls()->getAddButton()->click();
    auto* list = toolbar->getBookmarkControls()->getList();
    for (int theme = 0; theme < 4; ++theme) {
        viewer.application->getThemeManager()->setTheme(theme);
        list->setCurrentRow(0);
        toolbar->getScrubControl()->onBookmarkHovered(dynamic_cast<BookmarkListItem*>(list->item(1))->frame());
        QTest::qWait(600);
        ok = save(*viewer.window, QString("%1/playback-%2.png").arg(folder, names[theme])) && ok;
        ok = save(*toolbar->getScrubControl(), QString("%1/scrub-%2.png").arg(folder, names[theme])) && ok;
        ok = save(*toolbar->getBookmarkControls(), QString("%1/bookmarks-%2.png").arg(folder, names[theme])) && ok;
        toolbar->getExportButton()->click();
        QTest::qWait(600);
        ok = save(*viewer.window, QString("%1/export-%2.png").arg(folder, names[theme])) && ok;
        // The export button's menu, then the video options it opens.
        QToolButton* exportTo = toolbar->getExportModal()->getExportButton();
        exportTo->menu()->popup(exportTo->mapToGlobal(QPoint(0, exportTo->height())));
        ok = save(*exportTo->menu(), QString("%1/export-menu-%2.png").arg(folder, names[theme])) && ok;
        exportTo->menu()->hide();
        exportTo->click();
        VideoExportOptionsDialog* options = toolbar->getExportModal()->getVideoOptionsDialog();
        ok = save(*options, QString("%1/video-options-%2.png").arg(folder, names[theme])) && ok;
        options->hide();
        toolbar->getExportModal()->hide();
    }
    return ok ? 0 : 1;
}
