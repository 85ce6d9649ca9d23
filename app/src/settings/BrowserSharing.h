#pragma once

#include <keldar/ondrix/OndrixImage.h>

#include <QImage>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

class QLabel;
class QSettings;
class QSpinBox;

namespace Keldar::GUI::Widgets::Controls {
class ToggleSwitch;
}
namespace Keldar::Web {
class ShareServer;
}

namespace Keldar::OndrixLumivane {

// "Share in a browser": the settings' section that shares the images the
// window shows with browsers (keldar-web), listen-only. Off by default; the
// address to open is shown, with a QR code of it for tablets. Opened to the
// network, it needs the viewing token, which the address carries.
class BrowserSharing : public QWidget
{
    Q_OBJECT

public:
    explicit BrowserSharing(QWidget* parent = nullptr);
    ~BrowserSharing() override;

    // Reads its keys of "GeneralSettings" and starts sharing when it is on.
    void loadSettings();
    [[nodiscard]] bool isSharing() const;
    // Empty while not sharing.
    [[nodiscard]] QString address() const;

    // A QR code of `text`, `scale` pixels per module with the standard quiet
    // zone; a null image when the text does not fit one.
    static QImage qrCode(const QString& text, int scale);

    // Where the sonar is as each image is shown (live or from a recording):
    // latitude and longitude, heading, each empty when not known.
    struct Whereabouts
    {
        std::optional<std::pair<double, double>> position;
        std::optional<double> heading;
    };
    void setNavigation(std::function<Whereabouts()> source);

public Q_SLOTS:
    void showImage(const Keldar::Ondrix::OndrixImage& image);
    void setOnline(bool online);
    void setRecording(bool recording);
    void setSonar(uint32_t serialNumber, const std::string& modelName);
    // The window's palette, which pages follow; a modifier applies to the
    // dynamic palette shown.
    void setPalette(int palette);
    void setPaletteModifier(int modifier);

Q_SIGNALS:
    // After sharing started or stopped; the text says why it could not start.
    void sharingChanged(bool sharing, QString problem);

private:
    void apply();

    std::unique_ptr<QSettings> store;
    GUI::Widgets::Controls::ToggleSwitch* shareToggle;
    GUI::Widgets::Controls::ToggleSwitch* networkToggle;
    QSpinBox* maxClientsInput;
    QLabel* addressLabel;
    QLabel* qrLabel;
    std::unique_ptr<Web::ShareServer> server;
    std::deque<std::chrono::steady_clock::time_point> imageTimes;
    bool recording = false;
    bool online = false;
    uint32_t serial = 0;
    std::string model;
    int palette = 0;
    std::uint8_t fireModifier = 127;
    std::uint8_t aquaModifier = 127;
    std::function<Whereabouts()> navigation;
};

} // namespace Keldar::OndrixLumivane
