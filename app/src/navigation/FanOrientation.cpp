#include "navigation/FanOrientation.h"

#include "displaycontrols/DisplayPanels.h"
#include "navigation/NavigationFeed.h"

#include <keldar/visualisation/FanDisplay.h>

#include <cmath>

namespace Keldar::OndrixLumivane {

FanOrientation::FanOrientation(NavigationFeed& feed, Ondrix::Visualisation::FanDisplay& fan, RotationControls& controls,
                               QObject* parent)
    : QObject(parent)
    , feed_(&feed)
    , fan_(fan)
    , controls_(controls)
    , sliderRotation_(controls.getValue())
{
    connect(&feed, &NavigationFeed::changed, this, &FanOrientation::update);
    connect(&controls, &RotationControls::northUpChanged, this, &FanOrientation::update);
    connect(&controls, QOverload<int>::of(&RotationControls::valueChanged), this, [this](int angle) {
        sliderRotation_ = angle;
        apply();
    });
    ageTimer_.setInterval(500);
    connect(&ageTimer_, &QTimer::timeout, this, &FanOrientation::update);
    ageTimer_.start();
    update();
}

int FanOrientation::northUpRotation(double bearing)
{
    // The fan turns counter-clockwise; a sonar looking east (90) points right.
    const double rotation = std::fmod(360.0 - std::fmod(bearing, 360.0), 360.0);
    return static_cast<int>(std::lround(rotation)) % 360;
}

void FanOrientation::update()
{
    const auto heading = feed_.isNull() ? std::nullopt : feed_->snapshot().freshHeading();
    bearing_.reset();
    if (heading) {
        bearing_ = *heading + feed_->shownMounting().headingOffset;
    }
    const State next = !controls_.isNorthUp() ? State::HeadingUp : bearing_ ? State::NorthUp : State::NorthUpNoHeading;
    state_ = next;
    // A measured line's true bearing follows the heading in either mode.
    fan_.setCentreLineBearing(bearing_);
    apply();
}

void FanOrientation::apply()
{
    int rotation = sliderRotation_;
    switch (state_) {
    case State::HeadingUp:
        controls_.showOrientationStatus({});
        break;
    case State::NorthUp:
        controls_.showOrientationStatus(QStringLiteral("north up"));
        rotation = northUpRotation(*bearing_);
        break;
    case State::NorthUpNoHeading:
        controls_.showOrientationStatus(QStringLiteral("heading up: no heading"));
        break;
    }
    // Redrawn only when it turns: the age tick comes twice a second.
    if (std::lround(fan_.getCurrentRotation()) % 360 != rotation % 360) {
        fan_.setRotation(rotation);
    }
}

} // namespace Keldar::OndrixLumivane
