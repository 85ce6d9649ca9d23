#pragma once

#include <QObject>

#include <memory>

class QString;

namespace Keldar::DataProcessing::Units {
class AbstractUnit;
}
namespace Keldar::GUI::Theming {
class ThemeManager;
}
namespace Keldar::GUI::Widgets {
class MainWindow;
}

namespace Keldar::OndrixLumivane {

/// What the toolbars, panels and the controller need of the program: the
/// display units, the main window as the toolkit sees it, and the signal that
/// the whole interface exists. The program object derives from it, so that
/// nothing below the window has to include the window or the program.
class ViewerContext : public QObject
{
    Q_OBJECT

public:
    using Unit = DataProcessing::Units::AbstractUnit;

    // The values are the units' indices in the settings' combo boxes.
    enum class DistanceUnits { Metres = 0, Yards = 1, Feet = 2 };
    enum class AreaUnits { SquareMetres = 0, SquareYards = 1, SquareFeet = 2 };
    enum class SpeedUnits {
        MetresPerSecond = 0,
        YardsPerSecond = 1,
        FeetPerSecond = 2,
        MilesPerHour = 3,
        KilometresPerHour = 4
    };
    enum class TemperatureUnits { Kelvin = 0, Celsius = 1, Fahrenheit = 2 };
    enum class PressureUnits { Pascal = 0, Bar = 1, PoundsPerSquareInch = 2 };
    Q_ENUM(DistanceUnits)
    Q_ENUM(AreaUnits)
    Q_ENUM(SpeedUnits)
    Q_ENUM(TemperatureUnits)
    Q_ENUM(PressureUnits)

    /// The program's one context; defined by the program object, which makes
    /// itself on first use.
    static ViewerContext* instance();

    ~ViewerContext() override;

    /// The main window, or null before it is shown and after it is gone.
    [[nodiscard]] virtual GUI::Widgets::MainWindow* getMainWindowBase() const = 0;
    [[nodiscard]] virtual GUI::Theming::ThemeManager* getThemeManager() const = 0;
    /// Saves what the main window shows to `path`; false when nothing was saved.
    virtual bool saveStillImage(const QString& path) = 0;

    [[nodiscard]] const Unit* getDistanceUnit() const;
    [[nodiscard]] const Unit* getAreaUnit() const;
    [[nodiscard]] const Unit* getSpeedUnit() const;
    [[nodiscard]] const Unit* getTemperatureUnit() const;
    [[nodiscard]] const Unit* getPressureUnit() const;

signals:
    void uiConstructed();
    void distanceUnitChanged();
    void areaUnitChanged();
    void speedUnitChanged();
    void temperatureUnitChanged();
    void pressureUnitChanged();

public slots:
    void changeDistanceUnit(Keldar::OndrixLumivane::ViewerContext::DistanceUnits unit);
    void changeAreaUnit(Keldar::OndrixLumivane::ViewerContext::AreaUnits unit);
    void changeSpeedUnit(Keldar::OndrixLumivane::ViewerContext::SpeedUnits unit);
    void changeTemperatureUnit(Keldar::OndrixLumivane::ViewerContext::TemperatureUnits unit);
    void changePressureUnit(Keldar::OndrixLumivane::ViewerContext::PressureUnits unit);

protected:
    ViewerContext();

private:
    struct UnitChoices;
    std::unique_ptr<UnitChoices> units;
};

} // namespace Keldar::OndrixLumivane
