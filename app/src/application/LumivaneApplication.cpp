#include "application/LumivaneApplication.h"

#include "application/LumivaneWindow.h"
#include "application/RunningViewer.h"
#include "application/TerminationSignals.h"
#include "base/SettingsStore.h"
#include "controller/MainController.h"
#include "export/VideoExport.h"
#include "navigation/NavigationFeed.h"

#include <keldar/gui/ThemeManager.h>
#include <keldar/gui/UpdateChecker.h>
#include <keldar/logging/SqliteLogFile.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QProcess>
#include <QScreen>

#include <cerrno>
#include <cstdio>

// The viewer's resources live in a static library: referencing them here
// keeps the linker from dropping them.
static void initialiseViewerResources()
{
    Q_INIT_RESOURCE(lumivane);
}

namespace Keldar::OndrixLumivane {

struct LumivaneApplication::Private
{
    QApplication* application = nullptr;
    QPointer<LumivaneWindow> window;
    std::unique_ptr<MainController> controller;
    GUI::Theming::ThemeManager* themeManager = nullptr; // a child of the QApplication
    std::unique_ptr<GUI::Tools::UpdateChecker> updateChecker;
    QString maintenanceProgram; // where the update check found it
    std::unique_ptr<RunningViewer> runningViewer;
    std::unique_ptr<NavigationFeed> navigation;
};

namespace {
QPointer<LumivaneApplication>& theInstance()
{
    static QPointer<LumivaneApplication> instance;
    return instance;
}
} // namespace

LumivaneApplication* LumivaneApplication::instance()
{
    auto& instance = theInstance();
    if (instance.isNull()) {
        instance = new LumivaneApplication();
        if (auto* core = QCoreApplication::instance()) {
            connect(core, &QCoreApplication::aboutToQuit, instance.data(), &QObject::deleteLater);
        }
    }
    return instance.data();
}

void LumivaneApplication::destroyInstance()
{
    delete theInstance().data();
}

LumivaneApplication::LumivaneApplication()
    : d(std::make_unique<Private>())
{
    d->updateChecker = std::make_unique<GUI::Tools::UpdateChecker>();
}

LumivaneApplication::~LumivaneApplication()
{
    // The theme manager is the QApplication's child; a later instance makes
    // its own.
    delete d->themeManager;
}

void LumivaneApplication::setup(QApplication& application,
                                const Ondrix::Utilities::ConnectionManager::Settings& network)
{
    d->application = &application;
    initialiseViewerResources();
    QCoreApplication::setOrganizationName(organisationName);
    QCoreApplication::setOrganizationDomain(QStringLiteral("keldar-marine.com"));
    QCoreApplication::setApplicationName(applicationName);
    QGuiApplication::setApplicationDisplayName(applicationName);
    QCoreApplication::setApplicationVersion(applicationVersion);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/window/OndrixLumivane.ico")));

    delete d->themeManager;
    d->themeManager = new GUI::Theming::ThemeManager(&application);
    d->themeManager->addSupplementalStylesheet(QStringLiteral(":/styles/stylesheet.css"));
    d->themeManager->setTheme(GUI::Theming::ThemeManager::Dark);

    d->controller = std::make_unique<MainController>(network);
    d->navigation.reset();
    d->navigation = std::make_unique<NavigationFeed>(*d->controller);
}

void LumivaneApplication::start(LumivaneWindow* window, std::optional<std::uint32_t> connectSerial)
{
    d->window = window;
    window->setAttribute(Qt::WA_OpaquePaintEvent);
    // The size, place, screen and maximised state of the last session; on
    // first start, maximised.
    const auto store = openSettingsStore();
    const QByteArray geometry = store->value(QStringLiteral("MainWindow/geometry")).toByteArray();
    const bool maximised = store->value(QStringLiteral("MainWindow/maximised"), true).toBool();
    if (geometry.isEmpty() || !window->restoreGeometry(geometry)) {
        // Without a window manager (a bare X server) maximising does nothing:
        // fill the screen first, so the window is as large either way.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            window->setGeometry(screen->availableGeometry());
        }
    }
    if (maximised) {
        window->showMaximized();
    } else {
        window->show();
    }
    emit uiConstructed();
    attachNavigation(*window, *d->navigation);
    if (connectSerial) {
        d->controller->connectWhenSeen(*connectSerial);
    }
    d->controller->startListening();
    // Files opened from outside come here while this viewer runs.
    d->runningViewer = std::make_unique<RunningViewer>();
    d->runningViewer->setAnswerer([this](const QString& path) {
        const auto outcome = openFromOutside(path, SourceRequest::HandOver);
        return RunningViewer::Answer{outcome.answer, outcome.message};
    });
    d->runningViewer->listen();
    connect(d->updateChecker.get(), &GUI::Tools::UpdateChecker::updateAvailable, this,
            &LumivaneApplication::showUpdateNotice, Qt::UniqueConnection);
    d->maintenanceProgram = maintenanceProgramPath();
    d->updateChecker->checkForUpdate(d->maintenanceProgram.toStdString());
}

QString LumivaneApplication::maintenanceProgramPath()
{
    // The installer puts its maintenance program beside the executable; the
    // viewer may have been started from any folder.
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + maintenanceProgram;
    // An absolute path either way: a bare name would be looked for on the PATH.
    return QFileInfo::exists(beside) ? beside : QFileInfo(QString::fromLatin1(maintenanceProgram)).absoluteFilePath();
}

void LumivaneApplication::showUpdateNotice()
{
    if (d->window.isNull()) {
        return;
    }
    using GUI::Widgets::MainWindow;
    auto* toast = d->window->newToast(MainWindow::ToastType::Info, QStringLiteral("An update is available."), 10000,
                                      MainWindow::AffirmativeButton::Update, QString(), true);
    if (toast != nullptr) {
        connect(toast, &MainWindow::Toast::affirmative, this, &LumivaneApplication::startUpdate);
    }
}

void LumivaneApplication::startUpdate()
{
    const QString program = d->maintenanceProgram.isEmpty() ? maintenanceProgramPath() : d->maintenanceProgram;
    // The viewer closes only for an update that is under way.
    if (!QProcess::startDetached(program, {QStringLiteral("--su")})) {
        if (!d->window.isNull()) {
            d->window->newToast(GUI::Widgets::MainWindow::ToastType::Error,
                                QStringLiteral("The update could not be started: %1 did not start.").arg(program), 0);
        }
        return;
    }
    QApplication::closeAllWindows();
}

std::optional<std::filesystem::path> LumivaneApplication::commandLineLogFile(const std::string& argument)
{
    namespace fs = std::filesystem;
    const fs::path path(argument);
    std::error_code error;
    const auto status = fs::status(path, error);
    if (error) {
        const int code = error.value();
        // Not there, or not a name that can be there: absent.
        if (code == ENOENT || code == ENOTDIR || code == ENAMETOOLONG || code == EINVAL) {
            return std::nullopt;
        }
        throw fs::filesystem_error("exists", path, error);
    }
    if (!fs::exists(status)) {
        return std::nullopt;
    }
    // By name in any case (DIVE.ONDRIX), or by content under any name.
    if (QString::fromStdString(path.extension().string()).compare(QStringLiteral(".ondrix"), Qt::CaseInsensitive) ==
            0 ||
        (fs::is_regular_file(status) && Logging::SqliteLogFile::hasLogFileSignature(path))) {
        return path;
    }
    return std::nullopt;
}

bool LumivaneApplication::openCommandLineFile(const std::filesystem::path& path)
{
    QCoreApplication::processEvents();
    d->controller->openLogFile(path.native());
    return !d->controller->getLogEntryIndex().empty();
}

MainController::RequestOutcome LumivaneApplication::openFromOutside(const QString& path, SourceRequest from)
{
    if (!d->window.isNull()) {
        d->window->setWindowState((d->window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        d->window->raise();
        d->window->activateWindow();
    }
    return d->controller->request(from, {0, QFile::encodeName(path).toStdString()});
}

void LumivaneApplication::endOnSignal()
{
    // First, before any window closes: the video export's renderer draws
    // with the window's fan display and must stop asking for pictures.
    cancelVideoExport();
    d->controller->request(SourceRequest::Signal);
    TerminationSignals::endModalWork();
    if (!d->window.isNull()) {
        d->window->closeWithoutQuestions();
    }
    // Ends the main loop and any loop of a dialog or a work inside it.
    QCoreApplication::exit(0);
}

LumivaneWindow* LumivaneApplication::getMainWindow() const
{
    return d->window.data();
}

NavigationFeed* LumivaneApplication::getNavigationFeed() const
{
    return d->navigation.get();
}

MainController* LumivaneApplication::getController() const
{
    return d->controller.get();
}

GUI::Theming::ThemeManager* LumivaneApplication::getThemeManager() const
{
    return d->themeManager;
}

GUI::Widgets::MainWindow* LumivaneApplication::getMainWindowBase() const
{
    return d->window.data();
}

bool LumivaneApplication::saveStillImage(const QString& path)
{
    return !d->window.isNull() && d->window->saveStillImage(path);
}

ViewerContext* ViewerContext::instance()
{
    return LumivaneApplication::instance();
}

} // namespace Keldar::OndrixLumivane
