#include "displaycontrols/AdditionalDisplays.h"

#include "base/PanelLayout.h"
#include "base/SettingsStore.h"

#include <QVariant>
#include <keldar/gui/FloatingWidgetHandle.h>
#include <keldar/gui/ToggleSwitch.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/ZoomDisplay.h>

#include <QGridLayout>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>

namespace Keldar::OndrixLumivane {

namespace {
constexpr int displaySpacing = 6;
constexpr int firstOffset = 12;
} // namespace

AdditionalDisplays::AdditionalDisplays(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : BasicPopOutWidget(button, RightOfControl, 8, parent)
    , store(openSettingsStore())
    , zoom(new ZoomDisplayContainer(this))
    , attitude(new AttitudeDisplayContainer(this))
    , fps(new FpsDisplay(this))
    , coordinates(new CoordinateDisplay(this))
    , parameters(new SonarParametersDisplay(this))
    , details(new SonarDetailsDisplay(this))
    , diagnostics(new StatusDiagnosticsDisplay(this))
    , environment(new EnvironmentalConditionsDisplay(this))
    , logTime(new LogDateTimeDisplay(this))
    , displays{zoom, attitude, fps, coordinates, parameters, details, diagnostics, environment, logTime}
{
    setObjectName(QStringLiteral("additionalDisplays"));
    group.setSpacing(displaySpacing);
    static const char* const labels[] = {"Zoom display:",
                                         "Attitude",
                                         "FPS display:",
                                         "Mouse position display:",
                                         "Sonar parameters display:",
                                         "Sonar details display:",
                                         "Status/Diagnostics display:",
                                         "Environmental Conditions display",
                                         "Log date time display:"};
    auto* layout = PanelLayout::popOutBody(this);
    layout->addWidget(PanelLayout::heading(QStringLiteral("Additional Displays"), this));
    auto* grid = PanelLayout::section();
    for (std::size_t i = 0; i < displays.size(); ++i) {
        AdditionalDisplayWidget* display = displays[i];
        auto* toggle = new ToggleSwitch(this);
        toggle->setObjectName(display->getKeyStem() + QStringLiteral("Toggle"));
        PanelLayout::addRow(grid, QString::fromLatin1(labels[i]), toggle, this);
        switches.push_back(toggle);
        connect(toggle, &ToggleSwitch::toggled, this,
                [this, display](bool visible) { displaySwitched(display, visible); });
        connect(display, &AdditionalDisplayWidget::requestHide, toggle, [toggle] { toggle->setState(false); });
    }
    layout->addLayout(grid);
}

AdditionalDisplays::~AdditionalDisplays() = default;

void AdditionalDisplays::placeDisplays(QWidget* area)
{
    store->beginGroup(QString::fromLatin1(settingsGroup));
    int y = firstOffset;
    for (std::size_t i = 0; i < displays.size(); ++i) {
        AdditionalDisplayWidget* display = displays[i];
        const QString& stem = display->getKeyStem();
        display->setParent(area);
        display->raiseUnderPanels();
        display->hide();
        display->adjustSize();
        const QPoint fallback(firstOffset, y);
        y += display->height() / 4;
        display->move(store->value(stem + QStringLiteral("Position"), fallback).toPoint());
        if (display->remembersSize()) {
            const QSize size = store->value(stem + QStringLiteral("Size"), display->size()).toSize();
            display->resize(size.expandedTo(display->minimumSizeHint()));
        }
        group.add(display);
        const bool visible =
            store->value(stem + QStringLiteral("Visible"), stem == QStringLiteral("sonarDetailsDisplay")).toBool();
        switches[i]->setState(visible);
        keepInside(display);
    }
    store->endGroup();
    placed = true;
}

void AdditionalDisplays::saveState()
{
    if (!placed) {
        return;
    }
    store->beginGroup(QString::fromLatin1(settingsGroup));
    for (std::size_t i = 0; i < displays.size(); ++i) {
        const AdditionalDisplayWidget* display = displays[i];
        const QString& stem = display->getKeyStem();
        store->setValue(stem + QStringLiteral("Visible"), switches[i]->isEnabled());
        store->setValue(stem + QStringLiteral("Position"), display->pos());
        if (display->remembersSize()) {
            store->setValue(stem + QStringLiteral("Size"), display->size());
        }
    }
    store->endGroup();
    store->sync();
}

void AdditionalDisplays::displaySwitched(AdditionalDisplayWidget* display, bool visible)
{
    if (visible && placed) {
        display->adjustSize();
        keepInside(display);
        moveClear(display);
    }
    display->setWidgetVisibility(visible);
    if (placed) {
        store->setValue(QString::fromLatin1(settingsGroup) + QLatin1Char('/') + display->getKeyStem() +
                            QStringLiteral("Visible"),
                        visible);
    }
    if (display == zoom || display == coordinates) {
        Q_EMIT mouseTrackingRequired(zoom->isWanted() || coordinates->isWanted());
        if (auto* zoomDisplay = zoom->getZoomDisplay()) {
            zoomDisplay->getParentDisplay().update();
        }
    }
}

void AdditionalDisplays::keepInside(AdditionalDisplayWidget* display) const
{
    const QWidget* area = display->parentWidget();
    if (area == nullptr || area->width() <= 0 || area->height() <= 0) {
        return;
    }
    const int x = qBound(0, display->x(), qMax(0, area->width() - display->width()));
    const int y = qBound(0, display->y(), qMax(0, area->height() - display->height()));
    display->move(x, y);
}

void AdditionalDisplays::moveClear(AdditionalDisplayWidget* display) const
{
    const QWidget* area = display->parentWidget();
    if (area == nullptr) {
        return;
    }
    auto covers = [&](const QRect& place) {
        const QRect apart = place.adjusted(-displaySpacing, -displaySpacing, displaySpacing, displaySpacing);
        return std::any_of(displays.begin(), displays.end(), [&](const AdditionalDisplayWidget* other) {
            return other != display && other->isWanted() && other->geometry().intersects(apart);
        });
    };
    if (!covers(display->geometry())) {
        return;
    }
    constexpr int step = 8;
    const QSize size = display->size();
    for (int x = area->width() - size.width() - firstOffset; x >= firstOffset; x -= step) {
        for (int y = firstOffset; y + size.height() <= area->height() - firstOffset; y += step) {
            const QRect place(QPoint(x, y), size);
            if (!covers(place)) {
                display->move(place.topLeft());
                return;
            }
        }
    }
}

void AdditionalDisplays::sourceClosed()
{
    diagnostics->clearReadings();
    fps->clear();
    environment->clear();
    attitude->clear();
    parameters->clear();
    logTime->clear();
}

void AdditionalDisplays::handleWindowResize(QSize /*oldSize*/, QSize /*newSize*/)
{
    for (AdditionalDisplayWidget* display : displays) {
        keepInside(display);
    }
}

ZoomDisplayContainer* AdditionalDisplays::getZoomDisplay() const
{
    return zoom;
}

AttitudeDisplayContainer* AdditionalDisplays::getAttitudeDisplay() const
{
    return attitude;
}

FpsDisplay* AdditionalDisplays::getFpsDisplay() const
{
    return fps;
}

CoordinateDisplay* AdditionalDisplays::getCoordinateDisplay() const
{
    return coordinates;
}

SonarParametersDisplay* AdditionalDisplays::getSonarParametersDisplay() const
{
    return parameters;
}

SonarDetailsDisplay* AdditionalDisplays::getSonarDetailsDisplay() const
{
    return details;
}

StatusDiagnosticsDisplay* AdditionalDisplays::getStatusDiagnosticsDisplay() const
{
    return diagnostics;
}

EnvironmentalConditionsDisplay* AdditionalDisplays::getEnvironmentDisplay() const
{
    return environment;
}

LogDateTimeDisplay* AdditionalDisplays::getLogDateTimeDisplay() const
{
    return logTime;
}

const std::vector<AdditionalDisplayWidget*>& AdditionalDisplays::getDisplays() const
{
    return displays;
}

AdditionalDisplays::ToggleSwitch* AdditionalDisplays::switchFor(const QString& keyStem) const
{
    for (std::size_t i = 0; i < displays.size(); ++i) {
        if (displays[i]->getKeyStem() == keyStem) {
            return switches[i];
        }
    }
    return nullptr;
}

} // namespace Keldar::OndrixLumivane
