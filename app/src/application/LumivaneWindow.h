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

class LumivaneApplication;
class MainController;
class DisplayControlToolbar;
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

private:
    void buildWidgetTree();
    void wire();
    void onUiConstructed();
    void applyUnits();
    void buildSettingsAndDisplayControls();
    void wireSettingsAndDisplayControls();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::OndrixLumivane
