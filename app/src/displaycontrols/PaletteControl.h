#pragma once

#include <keldar/gui/BasicPopOutWidget.h>

#include <QPixmap>
#include <QSlider>

#include <array>
#include <memory>

class QRadioButton;
class QSettings;

namespace Keldar::OndrixLumivane {

// The picture of the six static palettes, one band each from the top; a
// click picks the band under the pointer.
class StaticPaletteSelector : public QWidget
{
    Q_OBJECT

public:
    explicit StaticPaletteSelector(QWidget* parent = nullptr);
    QSize sizeHint() const override;

Q_SIGNALS:
    // 1 to 6 for the palettes 0 to 5.
    void paletteClicked(int palette);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap palettes;
};

// The modifier of a dynamic palette; a click on it also picks its palette.
class DynamicPaletteSlider : public QSlider
{
    Q_OBJECT

public:
    explicit DynamicPaletteSlider(QWidget* parent = nullptr);

Q_SIGNALS:
    void dynamicPaletteClicked();

protected:
    // A slider is dimmed while its palette is not the chosen one, and a
    // disabled widget never sees mousePressEvent: the press is caught here.
    bool event(QEvent* event) override;
};

// Palette choice: six static palettes and the fire and aqua palettes, whose
// brightness the user shifts. Remembers the palette and both modifiers.
class PaletteControl : public GUI::Widgets::Containers::BasicPopOutWidget
{
    Q_OBJECT

public:
    static constexpr int paletteCount = 8;
    static constexpr int firePalette = 6;
    static constexpr int aquaPalette = 7;
    static constexpr int defaultModifier = 127;

    explicit PaletteControl(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);
    ~PaletteControl() override;

    int getPalette() const;
    QRadioButton* paletteButton(int palette) const;
    DynamicPaletteSlider* getFireSlider() const;
    DynamicPaletteSlider* getAquaSlider() const;
    StaticPaletteSelector* getSelector() const;
    void selectNextPalette();
    void selectPreviousPalette();

Q_SIGNALS:
    void newPaletteRequested(int paletteIndex);
    void newPaletteModifierRequested(int modifier);

public Q_SLOTS:
    void loadState();
    void saveState();
    void selectStandardPalette(int palette);

private:
    void paletteChosen(int palette);

    std::unique_ptr<QSettings> store;
    StaticPaletteSelector* selector;
    std::array<QRadioButton*, paletteCount> buttons{};
    DynamicPaletteSlider* fireSlider;
    DynamicPaletteSlider* aquaSlider;
    int palette = 0;
};

} // namespace Keldar::OndrixLumivane
