#pragma once

class QWidget;

namespace Keldar::GUI::Helpers::Widgets {

// Interface sizes are given in base units: 54 pixels on an ordinary screen,
// more on high-density or touch screens, less when a minimum interface size
// must fit the available area.
constexpr float DefaultBaseSize = 54.F;

// Call before the application object exists: turns every screen's base unit
// into a scale factor for the toolkit (through QT_SCREEN_SCALE_FACTORS). Runs
// once; does nothing once an application object exists.
void initialiseDpiScaling();
// As above, first storing the minimum interface size in base units
// (negative values become 0).
void initialiseDpiScaling(float minimumWidth, float minimumHeight);
void setMinimumInterfaceSize(float minimumWidth, float minimumHeight);

// Pixels in one base unit: 54 once initialiseDpiScaling has run (the toolkit
// then scales each screen); otherwise computed for the widget's screen, or
// the primary screen when the widget is null.
float getBaseSize(const QWidget* widget = nullptr);

} // namespace Keldar::GUI::Helpers::Widgets
