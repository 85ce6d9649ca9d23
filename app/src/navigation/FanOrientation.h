#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <optional>

namespace Keldar::Ondrix::Visualisation {
class FanDisplay;
}

namespace Keldar::OndrixLumivane {

class NavigationFeed;
class RotationControls;

/// Which way up the fan is drawn: heading up (the sonar's centre line up,
/// turned by the rotation slider) or north up (turned by the heading plus the
/// mounting offset, so that true north is up), live and in playback alike.
///
/// One state, one table of what each request does:
///   request             HeadingUp        NorthUp              NorthUpNoHeading
///   north up on         -> NorthUp*      stay                 stay
///   north up off        stay             -> HeadingUp         -> HeadingUp
///   heading known       stay             turn by it           -> NorthUp
///   heading lost        stay             -> NorthUpNoHeading  stay
///   slider moved        turn by it       remember it          turn by it
/// (* or NorthUpNoHeading without a heading.) Without a heading north up
/// falls back to heading up and says so in the rotation controls.
class FanOrientation : public QObject
{
    Q_OBJECT

public:
    enum class State : std::uint8_t {
        HeadingUp,
        NorthUp,
        NorthUpNoHeading,
    };

    FanOrientation(NavigationFeed& feed, Ondrix::Visualisation::FanDisplay& fan, RotationControls& controls,
                   QObject* parent = nullptr);

    [[nodiscard]] State state() const { return state_; }

    /// The fan's rotation (degrees counter-clockwise, 0..360) that puts true
    /// north up for a sonar pointing `bearing` degrees true.
    static int northUpRotation(double bearing);

private:
    void update();
    void apply();

    // The feed may end before the window.
    QPointer<NavigationFeed> feed_;
    Ondrix::Visualisation::FanDisplay& fan_;
    RotationControls& controls_;
    State state_ = State::HeadingUp;
    int sliderRotation_ = 0;
    std::optional<double> bearing_; // heading plus mounting offset
    // A live input that stops sends nothing: its heading ages out on a tick.
    QTimer ageTimer_;
};

} // namespace Keldar::OndrixLumivane
