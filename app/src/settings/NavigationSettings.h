#pragma once

#include <QWidget>

#include <memory>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSettings;

namespace Keldar::OndrixLumivane {

class NavigationFeed;

// "Navigation": the settings' section for where NMEA comes from (off, a UDP
// port, a TCP server, a serial device), how positions are written and how
// the sonar sits relative to the position antenna. Every change is stored
// under the navigation keys and takes effect at once.
class NavigationSettings : public QWidget
{
    Q_OBJECT

public:
    explicit NavigationSettings(QWidget* parent = nullptr);
    ~NavigationSettings() override;

    // The feed whose input the section starts and stops.
    void setFeed(NavigationFeed* feed);
    void loadSettings();

    // "udp:10110", "tcp:HOST:PORT", "serial:PATH:BAUD", or empty for off,
    // from the kind chosen and the address typed.
    [[nodiscard]] QString endpoint() const;

private:
    void applyInput();
    void storeMounting();

    std::unique_ptr<QSettings> store;
    NavigationFeed* feed = nullptr;
    QComboBox* kindCombo;
    QLineEdit* addressInput;
    QLabel* inputStatus;
    QComboBox* formatCombo;
    QDoubleSpinBox* headingOffsetInput;
    QDoubleSpinBox* forwardInput;
    QDoubleSpinBox* starboardInput;
    bool loading = false;
};

} // namespace Keldar::OndrixLumivane
