#pragma once

#include <keldar/gui/MainWindow.h>

#include <QSize>

#include <cstdint>
#include <memory>
#include <string>

class QStackedWidget;

namespace Keldar::Ondrix::Visualisation {
class FanDisplay;
}

namespace Keldar::OndrixLumivane {

class CaptureToolbar;
class LumivaneApplication;
class MainController;
class PlaybackToolbar;
class RecordingTimeDisplay;
class DisplayControlToolbar;
class BrowserSharing;
class SettingsControls;

/// The main window: a sidebar of toolbars on the left, the home page or the
/// sonar display in the middle, an overflow sidebar on the right. It switches
/// between its modes on the controller's signals and wires every toolbar and
/// the fan display to the controller.
class LumivaneWindow : public GUI::Widgets::MainWindow
{
    Q_OBJECT

public:
    enum Mode : int { NoSource = 0, LiveSonar = 1, LogPlayback = 2 };

    /// Uses the application object, which must have been set up.
    explicit LumivaneWindow(QWidget* parent = nullptr);
    ~LumivaneWindow() override;

    [[nodiscard]] int getMode() const;
    [[nodiscard]] Ondrix::Visualisation::FanDisplay* getFanDisplay() const;

    /// Saves the fan display with both logos stamped on it; the format
    /// follows the file extension. False when the picture cannot be written.
    bool saveStillImage(const QString& path);

    /// Closes the window as the user would, but asks nothing: the sources
    /// have been ended already (a signal, a quit the user agreed to).
    void closeWithoutQuestions();

    // Settings and display controls.
    [[nodiscard]] DisplayControlToolbar* getDisplayControlToolbar() const;
    [[nodiscard]] SettingsControls* getSettingsControls() const;
    [[nodiscard]] bool isOverflowed() const;

signals:
    void windowResized(QSize oldSize, QSize newSize);

private slots:
    void onConnectedToSonar();
    void onReceiveSonarDetails(uint32_t serialNumber, std::string modelName, std::string ipAddress,
                               std::string subnetMask);
    void resetGui();
    void arrangeToolbars();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A recording dropped on the window opens.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    // Recording and log playback (LumivaneWindowLogs.cpp).
public:
    [[nodiscard]] PlaybackToolbar* getPlaybackToolbar() const;
    [[nodiscard]] CaptureToolbar* getCaptureToolbar() const;
    [[nodiscard]] RecordingTimeDisplay* getRecordingTimeDisplay() const;

private slots:
    void onOpenedLogFile(std::string filename);

private:
    void buildLogWidgets();
    void wireLogWidgets();
    void activateLogToolbars();
    void resetLogWidgets();
    PlaybackToolbar* playbackToolbar = nullptr;
    CaptureToolbar* captureToolbar = nullptr;
    RecordingTimeDisplay* recordingTimeDisplay = nullptr;

private:
    void buildWidgetTree();
    void wire();
    void onUiConstructed();
    void applyUnits();
    void buildSettingsAndDisplayControls();
    // What a newly opened source shares, live or played back: the settings
    // pop-out over the display and the toolbars arranged for the height.
    void showSourceControls();
    void wireSettingsAndDisplayControls();
    void wireBrowserSharing(BrowserSharing* sharing);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::OndrixLumivane
