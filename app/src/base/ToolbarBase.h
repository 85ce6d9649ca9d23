#pragma once

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QAbstractButton;
class QSettings;
class QShortcut;

namespace Keldar::GUI::Widgets::Bases {
class DraggableWidgetGroup;
}
namespace Keldar::GUI::Widgets::Buttons {
class PopOutWidgetButton;
class SvgButton;
} // namespace Keldar::GUI::Widgets::Buttons
namespace Keldar::GUI::Widgets::Containers {
class BasicPopOutWidget;
}

namespace Keldar::OndrixLumivane {

// Base of the sidebar's toolbars: each keeps the state of its pop-outs in the
// settings store between sessions and shows itself only in the window modes
// it serves.
class ToolbarBase : public QWidget
{
    Q_OBJECT

public:
    using BasicPopOutWidget = GUI::Widgets::Containers::BasicPopOutWidget;

    explicit ToolbarBase(QWidget* parent = nullptr);
    ~ToolbarBase() override;

    // Pop-outs of every toolbar share this group so that they keep apart
    // when dragged.
    static GUI::Widgets::Bases::DraggableWidgetGroup& popOutGroup();

    const std::vector<QPointer<BasicPopOutWidget>>& getPopOuts() const;

    // Names a toolbar button and gives it the toolbars' common size.
    static void prepareButton(GUI::Widgets::Buttons::SvgButton* button, const QString& name, const QString& toolTip);
    // A toolbar button of `Button`'s kind showing the icon file `icon`.
    template<typename Button>
    static Button* makeButton(const QString& name, const QString& icon, const QString& toolTip, QWidget* parent)
    {
        auto* button = new Button(icon, parent);
        prepareButton(button, name, toolTip);
        return button;
    }

    // The three keys that remember one pop-out: docked, position, and whether
    // its button was checked (which opens it).
    struct PopOutKeys
    {
        QString docked;
        QString position;
        QString checked;
    };

public Q_SLOTS:
    virtual void activate(int mode);
    virtual void deactivate();
    virtual void setPopOutDirection(int direction);
    virtual void restoreState(int mode) = 0;
    virtual void saveState() = 0;
    virtual void resetControls() = 0;
    // Docks every pop-out beside its button, where it stands on first start.
    void dockPopOuts();

protected:
    QSettings& settings() const;
    // Sets the key sequence stored as text under `key` in the settings'
    // current group.
    void loadShortcut(QShortcut* shortcut, const char* key);
    void addPopOut(BasicPopOutWidget* popOut);
    // Moves every pop-out into `area`, hidden, and into the shared group.
    void placePopOutsIn(QWidget* area);
    void restorePopOut(QAbstractButton* button, BasicPopOutWidget* popOut, const PopOutKeys& keys,
                       bool dockedByDefault);
    void savePopOut(const QAbstractButton* button, const BasicPopOutWidget* popOut, const PopOutKeys& keys);

private:
    std::unique_ptr<QSettings> store;
    std::vector<QPointer<BasicPopOutWidget>> popOuts;
};

} // namespace Keldar::OndrixLumivane
