#pragma once

#include "base/ViewerContext.h"
#include "controller/MainController.h"

#include <keldar/ondrix/ConnectionManager.h>

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

class QApplication;

namespace Keldar::GUI::Theming {
class ThemeManager;
}
namespace Keldar::GUI::Tools {
class UpdateChecker;
}

namespace Keldar::OndrixLumivane {

class LumivaneWindow;
class MainController;
class NavigationFeed;

/// Program-wide state: the main controller, the display units, the theme and
/// the update checker. One per process, created on first use and deleted when
/// the Qt application is about to quit.
class LumivaneApplication : public ViewerContext
{
    Q_OBJECT

public:
    static constexpr const char* maintenanceProgram = "MaintenanceTool.exe";

    static LumivaneApplication* instance();
    /// Deletes the instance at once; the next instance() makes a fresh one.
    static void destroyInstance();

    ~LumivaneApplication() override;

    /// Names, icon and theme on `application`; creates the controller, whose
    /// connection manager uses `network` (the sonars' own ports by default).
    void setup(QApplication& application, const Ondrix::Utilities::ConnectionManager::Settings& network = {});
    /// Shows the window maximised, starts listening for sonars and checks for
    /// an update. When `connectSerial` is given, that sonar is connected as
    /// soon as it is seen.
    void start(LumivaneWindow* window, std::optional<std::uint32_t> connectSerial = std::nullopt);

    /// The log file named by a command-line argument: the path when it exists
    /// and its extension is ".ondrix" in any letter case or its content is a
    /// log's, else nothing. Throws
    /// std::filesystem::filesystem_error ("exists") when the file's status
    /// cannot be read for another reason than its absence.
    static std::optional<std::filesystem::path> commandLineLogFile(const std::string& argument);
    /// Opens the log the command line named; false when this viewer cannot.
    bool openCommandLineFile(const std::filesystem::path& path);
    /// A file given from outside while the viewer runs (`from` is HandOver
    /// for another process, Drop for a drop): the window comes to the front
    /// and the arbiter answers as for Open; what it answered is returned.
    MainController::RequestOutcome openFromOutside(const QString& path, SourceRequest from);
    /// SIGTERM or SIGINT: a running work is cancelled, every source ended,
    /// open dialogs answered, and the event loops left.
    void endOnSignal();

    [[nodiscard]] LumivaneWindow* getMainWindow() const;
    [[nodiscard]] MainController* getController() const;
    [[nodiscard]] NavigationFeed* getNavigationFeed() const;
    [[nodiscard]] GUI::Theming::ThemeManager* getThemeManager() const override;
    [[nodiscard]] GUI::Widgets::MainWindow* getMainWindowBase() const override;
    bool saveStillImage(const QString& path) override;

public slots:
    void startUpdate();

private:
    LumivaneApplication();
    /// Beside the executable when it is there, else in the current folder.
    static QString maintenanceProgramPath();
    void showUpdateNotice();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::OndrixLumivane
