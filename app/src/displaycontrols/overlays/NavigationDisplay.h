#pragma once

#include "displaycontrols/overlays/OverlayDisplays.h"

#include <keldar/navigation/Georeference.h>

#include <QTimer>

#include <optional>
#include <utility>

namespace Keldar::OndrixLumivane {

class NavigationFeed;
struct NavigationSnapshot;

// Where the vessel is: position (decimal degrees, degrees and minutes or UTM,
// as the settings say), heading, course, speed and fix quality. Grey, and
// saying for how long, once the position is over 2 s old.
class NavigationDisplay : public AdditionalDisplayWidget
{
    Q_OBJECT

public:
    static constexpr qint64 staleAfterMs = 2000;

    explicit NavigationDisplay(QWidget* parent = nullptr);
    void setFeed(NavigationFeed* feed);

    // "60.000000°N 10.700000°E", "60°00.0000'N 010°42.0000'E" or
    // "32N 594815 6652444" by `format` ("decimal", "dm", "utm").
    static QString positionText(double latitude, double longitude, const QString& format);

    // Where a point at range r (metres) and bearing theta (degrees) from the
    // sonar lies, "-" without a position and heading.
    static QString geographicText(const NavigationSnapshot& shown, const Navigation::Mounting& mounting, double r,
                                  double theta, const QString& format);

public Q_SLOTS:
    void refresh();
    // The fan display's mouse position: the cursor line gives its place on
    // the earth.
    void newMousePosition(double x, double y, double r, double theta);

private:
    void showSnapshot(const NavigationSnapshot& shown);

    NavigationFeed* feed = nullptr;
    QTimer ageTimer;
    QLabel* position;
    QLabel* heading;
    QLabel* course;
    QLabel* speed;
    QLabel* fix;
    QLabel* cursor;
    QLabel* status;
    std::optional<std::pair<double, double>> mouse; // r, theta
};

} // namespace Keldar::OndrixLumivane
