#include "displaycontrols/AdditionalDisplays.h"

#include "base/PanelLayout.h"
#include "base/SettingsStore.h"

#include <QVariant>
#include <keldar/gui/FloatingWidgetHandle.h>
#include <keldar/gui/ToggleSwitch.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/ZoomDisplay.h>

#include <QEvent>
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
    , navigation(new NavigationDisplay(this))
    , displays{zoom, attitude, fps, coordinates, parameters, details, diagnostics, environment, logTime, navigation}
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
                                         "Log date time display:",
                                         "Navigation display:"};
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

std::vector<QPoint> AdditionalDisplays::firstStartPlaces() const
{
    constexpr int columnHeight = 560;
    std::vector<QPoint> places;
    int x = firstOffset;
    int y = firstOffset;
    int columnWidth = 0;
    for (const AdditionalDisplayWidget* display : displays) {
        const QSize size = display->size().expandedTo(display->minimumSizeHint());
        if (y > firstOffset && y + size.height() > columnHeight) {
            x += columnWidth + displaySpacing;
            y = firstOffset;
            columnWidth = 0;
        }
        places.emplace_back(x, y);
        y += size.height() + displaySpacing;
        columnWidth = qMax(columnWidth, size.width());
    }
    return places;
}

void AdditionalDisplays::placeDisplays(QWidget* area)
{
    for (AdditionalDisplayWidget* display : displays) {
        display->setParent(area);
        display->raiseUnderPanels();
        display->hide();
        display->adjustSize();
    }
    const std::vector<QPoint> firstPlaces = firstStartPlaces();
    wantedPlaces.assign(displays.size(), QPoint());
    store->beginGroup(QString::fromLatin1(settingsGroup));
    for (std::size_t i = 0; i < displays.size(); ++i) {
        AdditionalDisplayWidget* display = displays[i];
        const QString& stem = display->getKeyStem();
        if (display->remembersSize()) {
            const QSize size = store->value(stem + QStringLiteral("Size"), display->size()).toSize();
            display->resize(size.expandedTo(display->minimumSizeHint()));
        }
        wantedPlaces[i] = store->value(stem + QStringLiteral("Position"), firstPlaces[i]).toPoint();
        placeInside(i);
        display->installEventFilter(this);
        group.add(display);
        const bool visible =
            store->value(stem + QStringLiteral("Visible"), stem == QStringLiteral("sonarDetailsDisplay")).toBool();
        switches[i]->setState(visible);
    }
    store->endGroup();
    area->installEventFilter(this);
    placed = true;
}

QPoint AdditionalDisplays::placeFor(std::size_t index) const
{
    const AdditionalDisplayWidget* display = displays[index];
    const QWidget* area = display->parentWidget();
    QPoint place = wantedPlaces[index];
    if (area != nullptr && area->width() > 0 && area->height() > 0) {
        place.setX(qBound(0, place.x(), qMax(0, area->width() - display->width())));
        place.setY(qBound(0, place.y(), qMax(0, area->height() - display->height())));
    }
    return place;
}

void AdditionalDisplays::placeInside(std::size_t index)
{
    placing = true;
    displays[index]->move(placeFor(index));
    placing = false;
}

bool AdditionalDisplays::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && !displays.empty() && watched == displays.front()->parentWidget()) {
        for (std::size_t i = 0; i < displays.size(); ++i) {
            placeInside(i);
        }
    } else if (event->type() == QEvent::Resize) {
        // A display grows with its texts (a log time, a long unit): it stays
        // on screen, beside the place the user chose.
        const auto found = std::find(displays.begin(), displays.end(), watched);
        if (found != displays.end() && placed) {
            placeInside(static_cast<std::size_t>(found - displays.begin()));
        }
    } else if (event->type() == QEvent::Move && !placing) {
        // Dragged or moved by anyone else: that is where it is wanted now. A
        // hidden display hears of its moves only when shown, so a move to the
        // place this class chose is not taken for the user's.
        const auto found = std::find(displays.begin(), displays.end(), watched);
        if (found != displays.end()) {
            const auto index = static_cast<std::size_t>(found - displays.begin());
            if ((*found)->pos() != placeFor(index)) {
                wantedPlaces[index] = (*found)->pos();
            }
        }
    }
    return BasicPopOutWidget::eventFilter(watched, event);
}

void AdditionalDisplays::resetLayout()
{
    if (!placed) {
        return;
    }
    for (AdditionalDisplayWidget* display : displays) {
        display->adjustSize();
    }
    wantedPlaces = firstStartPlaces();
    for (std::size_t i = 0; i < displays.size(); ++i) {
        placeInside(i);
    }
    saveState();
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
        store->setValue(stem + QStringLiteral("Position"), wantedPlaces[i]);
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

void AdditionalDisplays::keepInside(AdditionalDisplayWidget* display)
{
    const auto found = std::find(displays.begin(), displays.end(), display);
    if (found != displays.end()) {
        placeInside(static_cast<std::size_t>(found - displays.begin()));
    }
}

void AdditionalDisplays::moveClear(AdditionalDisplayWidget* display)
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
    for (std::size_t i = 0; i < wantedPlaces.size(); ++i) {
        placeInside(i);
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

NavigationDisplay* AdditionalDisplays::getNavigationDisplay() const
{
    return navigation;
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
