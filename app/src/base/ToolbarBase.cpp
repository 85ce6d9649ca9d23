#include "base/ToolbarBase.h"

#include "base/SettingsStore.h"

#include <keldar/gui/BasicPopOutWidget.h>
#include <keldar/gui/DraggableWidgetGroup.h>
#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/SvgButton.h>

#include <QAbstractButton>
#include <QKeySequence>
#include <QSettings>
#include <QShortcut>

namespace Keldar::OndrixLumivane {

ToolbarBase::ToolbarBase(QWidget* parent)
    : QWidget(parent)
    , store(openSettingsStore())
{
}

ToolbarBase::~ToolbarBase() = default;

GUI::Widgets::Bases::DraggableWidgetGroup& ToolbarBase::popOutGroup()
{
    return GUI::Widgets::Bases::DraggableWidgetGroup::applicationGroup();
}

const std::vector<QPointer<ToolbarBase::BasicPopOutWidget>>& ToolbarBase::getPopOuts() const
{
    return popOuts;
}

void ToolbarBase::activate(int mode)
{
    show();
    restoreState(mode);
}

void ToolbarBase::deactivate()
{
    saveState();
    resetControls();
}

void ToolbarBase::setPopOutDirection(int direction)
{
    for (const auto& popOut : popOuts) {
        if (popOut) {
            popOut->setPopOutDirection(direction);
        }
    }
}

void ToolbarBase::prepareButton(GUI::Widgets::Buttons::SvgButton* button, const QString& name, const QString& toolTip)
{
    // Three quarters of a base unit: the sidebar stays narrow beside the display.
    constexpr float scale = 0.75F;
    button->setObjectName(name);
    button->setToolTip(toolTip);
    button->setScalingMode(GUI::Widgets::Bases::ScalableWidget::FixedScaling);
    button->setHorizontalScaling(scale);
    button->setVerticalScaling(scale);
    button->applyScaling();
}

QSettings& ToolbarBase::settings() const
{
    return *store;
}

void ToolbarBase::loadShortcut(QShortcut* shortcut, const char* key)
{
    shortcut->setKey(QKeySequence(settings().value(QString::fromLatin1(key)).toString(), QKeySequence::PortableText));
}

void ToolbarBase::addPopOut(BasicPopOutWidget* popOut)
{
    popOuts.emplace_back(popOut);
}

void ToolbarBase::placePopOutsIn(QWidget* area)
{
    for (const auto& popOut : popOuts) {
        if (!popOut) {
            continue;
        }
        popOut->setParent(area);
        // A docked pop-out follows its button when the area is resized; it
        // listens to the parent it was built with, which this one replaces.
        area->installEventFilter(popOut);
        popOut->hide();
        popOutGroup().add(popOut);
    }
}

void ToolbarBase::restorePopOut(QAbstractButton* button, BasicPopOutWidget* popOut, const PopOutKeys& keys,
                                bool dockedByDefault)
{
    if (!settings().value(keys.docked, dockedByDefault).toBool()) {
        popOut->undock();
        popOut->move(settings().value(keys.position, QPoint(0, 0)).toPoint());
    }
    button->setChecked(settings().value(keys.checked, false).toBool());
}

void ToolbarBase::savePopOut(const QAbstractButton* button, const BasicPopOutWidget* popOut, const PopOutKeys& keys)
{
    settings().setValue(keys.checked, button->isChecked());
    settings().setValue(keys.docked, popOut->isDocked());
    settings().setValue(keys.position, popOut->pos());
}

void ToolbarBase::dockPopOuts()
{
    for (const auto& popOut : popOuts) {
        if (!popOut.isNull() && !popOut->isDocked()) {
            popOut->dock();
        }
    }
}

} // namespace Keldar::OndrixLumivane
