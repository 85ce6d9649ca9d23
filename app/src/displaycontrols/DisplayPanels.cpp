#include "displaycontrols/DisplayPanels.h"

#include "base/PanelLayout.h"
#include "base/SettingsStore.h"

#include <QVariant>
#include <keldar/gui/FloatingWidgetHandle.h>
#include <keldar/gui/SvgButton.h>
#include <keldar/gui/ToggleSwitch.h>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QVBoxLayout>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::Buttons::SvgButton;
using GUI::Widgets::Controls::ToggleSwitch;

namespace {

constexpr int orientationButtonSize = 36;
constexpr int maximumDespeckle = 7;
constexpr int maximumClamp = 75;
constexpr float clampScale = 1000.0F;

QSlider* slider(const QString& name, int maximum, int pageStep, QWidget* parent)
{
    auto* control = new QSlider(Qt::Horizontal, parent);
    control->setObjectName(name);
    control->setRange(0, maximum);
    control->setSingleStep(1);
    control->setPageStep(pageStep);
    control->setMinimumWidth(140);
    return control;
}

ToggleSwitch* toggle(const QString& name, QWidget* parent)
{
    auto* control = new ToggleSwitch(parent);
    control->setObjectName(name);
    return control;
}

} // namespace

DisplayPanel::DisplayPanel(GUI::Widgets::Bases::PopOutWidgetControl* button, const QString& title, QWidget* parent)
    : BasicPopOutWidget(button, RightOfControl, BasicSliderPopOut::gap, parent)
    , body(PanelLayout::popOutBody(this))
{
    body->addWidget(PanelLayout::heading(title, this));
}

FilterControls::FilterControls(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : DisplayPanel(button, QStringLiteral("Filters"), parent)
    , despeckleSlider(slider(QStringLiteral("despeckleSlider"), maximumDespeckle, 2, this))
    , clampSlider(slider(QStringLiteral("clampSlider"), maximumClamp, 10, this))
{
    setObjectName(QStringLiteral("filterControls"));
    auto* grid = PanelLayout::section();
    PanelLayout::addRow(grid, QStringLiteral("De-speckle:"), despeckleSlider, this);
    PanelLayout::addRow(grid, QStringLiteral("Clamp:"), clampSlider, this);
    body->addLayout(grid);
    connect(despeckleSlider, &QSlider::valueChanged, this,
            [this](int value) { Q_EMIT newDespeckleLevelRequested(2 * value + 1); });
    connect(clampSlider, &QSlider::valueChanged, this,
            [this](int value) { Q_EMIT newClampLevelRequested(static_cast<float>(value) / clampScale); });
}

QSlider* FilterControls::getDespeckleSlider() const
{
    return despeckleSlider;
}

QSlider* FilterControls::getClampSlider() const
{
    return clampSlider;
}

RotationControls::RotationControls(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : BasicSliderPopOut(button, QStringLiteral("Rotation:"), 0, 359, 5, 45, "°", 1.0F, false, parent)
    , store(openSettingsStore())
    , northUp(new QPushButton(QStringLiteral("North up"), this))
    , orientationStatus(new QLabel(this))
{
    setObjectName(QStringLiteral("rotationControls"));
    static const char* const icons[4] = {
        ":/keldar-icons/Ondrix/FanOrientationUp.svg", ":/keldar-icons/Ondrix/FanOrientationLeft.svg",
        ":/keldar-icons/Ondrix/FanOrientationDown.svg", ":/keldar-icons/Ondrix/FanOrientationRight.svg"};
    static const char* const names[4] = {"orientationUpButton", "orientationLeftButton", "orientationDownButton",
                                         "orientationRightButton"};
    auto* row = qobject_cast<QHBoxLayout*>(layout());
    for (int i = 0; i < 4; ++i) {
        auto* orientation = new SvgButton(QString::fromLatin1(icons[i]), this);
        orientation->setObjectName(QString::fromLatin1(names[i]));
        orientation->setCheckable(true);
        orientation->setFixedSize(orientationButtonSize, orientationButtonSize);
        orientationButtons[i] = orientation;
        // Before the drag handle, which stays last.
        row->insertWidget(row->count() - 1, orientation);
        const int angle = i * 90;
        connect(orientation, &QAbstractButton::clicked, this, [this, angle] {
            getSlider()->setValue(angle);
            showOrientation(getSlider()->value());
        });
    }
    northUp->setObjectName(QStringLiteral("northUpButton"));
    northUp->setCheckable(true);
    northUp->setToolTip(QStringLiteral("Draw the fan with true north up when the navigation gives a heading"));
    orientationStatus->setObjectName(QStringLiteral("orientationStatus"));
    row->insertWidget(row->count() - 1, northUp);
    row->insertWidget(row->count() - 1, orientationStatus);
    connect(northUp, &QAbstractButton::toggled, this, &RotationControls::northUpChanged);
    connect(getSlider(), &QSlider::valueChanged, this, &RotationControls::showOrientation);
    showOrientation(0);
}

bool RotationControls::isNorthUp() const
{
    return northUp->isChecked();
}

void RotationControls::showOrientationStatus(const QString& text)
{
    orientationStatus->setText(text);
    orientationStatus->setVisible(!text.isEmpty());
}

RotationControls::~RotationControls() = default;

QAbstractButton* RotationControls::orientationButton(int index) const
{
    return index >= 0 && index < 4 ? orientationButtons[index] : nullptr;
}

void RotationControls::showOrientation(int angle)
{
    for (int i = 0; i < 4; ++i) {
        orientationButtons[i]->setChecked(angle == i * 90);
    }
}

void RotationControls::loadState()
{
    const int angle = store->value(QString::fromLatin1(settingsGroup) + QStringLiteral("/displayRotation"), 0).toInt();
    getSlider()->setValue(angle);
    // Sent even when unchanged: the display starts from its own default.
    Q_EMIT valueChanged(getSlider()->value());
    northUp->setChecked(store->value(QString::fromLatin1(settingsGroup) + QStringLiteral("/northUp"), false).toBool());
}

void RotationControls::saveState()
{
    store->setValue(QString::fromLatin1(settingsGroup) + QStringLiteral("/displayRotation"), getSlider()->value());
    store->setValue(QString::fromLatin1(settingsGroup) + QStringLiteral("/northUp"), northUp->isChecked());
    store->sync();
}

OverlayFeaturesControl::OverlayFeaturesControl(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : DisplayPanel(button, QStringLiteral("Overlay Features"), parent)
    , store(openSettingsStore())
    , rangeArcs(toggle(QStringLiteral("rangeArcsToggle"), this))
    , rangeLabels(toggle(QStringLiteral("rangeLabelsToggle"), this))
    , sectorLines(toggle(QStringLiteral("sectorLinesToggle"), this))
{
    setObjectName(QStringLiteral("overlayFeaturesControl"));
    auto* grid = PanelLayout::section();
    PanelLayout::addRow(grid, QStringLiteral("Range Arcs:"), rangeArcs, this);
    PanelLayout::addRow(grid, QStringLiteral("Range labels:"), rangeLabels, this);
    PanelLayout::addRow(grid, QStringLiteral("Sector Lines:"), sectorLines, this);
    body->addLayout(grid);
    connect(rangeArcs, &ToggleSwitch::toggled, this, &OverlayFeaturesControl::setRangeArcs);
    connect(rangeLabels, &ToggleSwitch::toggled, this, &OverlayFeaturesControl::setRangeLabels);
    connect(sectorLines, &ToggleSwitch::toggled, this, &OverlayFeaturesControl::setSectorLines);
}

OverlayFeaturesControl::~OverlayFeaturesControl() = default;

ToggleSwitch* OverlayFeaturesControl::getRangeArcsToggle() const
{
    return rangeArcs;
}

ToggleSwitch* OverlayFeaturesControl::getRangeLabelsToggle() const
{
    return rangeLabels;
}

ToggleSwitch* OverlayFeaturesControl::getSectorLinesToggle() const
{
    return sectorLines;
}

void OverlayFeaturesControl::toggleOverlays()
{
    const std::array<ToggleSwitch*, 3> switches{rangeArcs, rangeLabels, sectorLines};
    const bool anyOn = rangeArcs->isEnabled() || rangeLabels->isEnabled() || sectorLines->isEnabled();
    for (std::size_t i = 0; i < switches.size(); ++i) {
        if (anyOn) {
            remembered[i] = switches[i]->isEnabled();
            switches[i]->setState(false);
        } else {
            switches[i]->setState(remembered[i]);
        }
    }
}

void OverlayFeaturesControl::loadState()
{
    store->beginGroup(QStringLiteral("OverlayFeaturesControl"));
    rangeArcs->setState(store->value(QStringLiteral("rangeArcsEnabled"), true).toBool());
    rangeLabels->setState(store->value(QStringLiteral("rangeLabelsEnabled"), true).toBool());
    sectorLines->setState(store->value(QStringLiteral("sectorLinesEnabled"), true).toBool());
    store->endGroup();
}

void OverlayFeaturesControl::saveState()
{
    store->beginGroup(QStringLiteral("OverlayFeaturesControl"));
    store->setValue(QStringLiteral("rangeArcsEnabled"), rangeArcs->isEnabled());
    store->setValue(QStringLiteral("rangeLabelsEnabled"), rangeLabels->isEnabled());
    store->setValue(QStringLiteral("sectorLinesEnabled"), sectorLines->isEnabled());
    store->endGroup();
    store->sync();
}

MeasuringTools::MeasuringTools(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : BasicPopOutWidget(button, RightOfControl, BasicSliderPopOut::gap, parent)
{
    setObjectName(QStringLiteral("measuringTools"));
    struct Tool
    {
        const char* name;
        const char* icon;
        const char* toolTip;
        MeasurementMode mode;
    };
    static const Tool tools[] = {
        {"straightLineButton", ":/keldar-icons/Measurement/MeasureLine.svg", "Measure a straight line distance",
         Ondrix::Visualisation::FanDisplayOptions::StraightLine},
        {"rectangleButton", ":/keldar-icons/Measurement/MeasureRectangle.svg", "Measure a rectangular area",
         Ondrix::Visualisation::FanDisplayOptions::RectangleArea},
        {"circleButton", ":/keldar-icons/Measurement/MeasureCircleCentre.svg", "Measure a circular area",
         Ondrix::Visualisation::FanDisplayOptions::CircleAreaFromCentre},
    };
    auto* handle = new GUI::Widgets::AddOns::FloatingWidgetHandle(this);
    handle->setObjectName(QStringLiteral("handle"));
    handle->setFixedWidth(10);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    for (const Tool& tool : tools) {
        auto* button = new SvgButton(QString::fromLatin1(tool.icon), this);
        button->setObjectName(QString::fromLatin1(tool.name));
        button->setToolTip(QString::fromLatin1(tool.toolTip));
        button->setProperty("class", QStringLiteral("inverted"));
        button->setFixedSize(orientationButtonSize, orientationButtonSize);
        row->addWidget(button);
        const MeasurementMode mode = tool.mode;
        connect(button, &QAbstractButton::clicked, this, [this, mode] { Q_EMIT newMeasurementModeRequested(mode); });
    }
    row->addWidget(handle);
    setDragHandle(handle);
}

} // namespace Keldar::OndrixLumivane
