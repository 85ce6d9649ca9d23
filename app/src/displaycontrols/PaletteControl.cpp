#include "displaycontrols/PaletteControl.h"

#include "base/PanelLayout.h"
#include "base/SettingsStore.h"

#include <QVariant>
#include <keldar/gui/FloatingWidgetHandle.h>
#include <keldar/visualisation/StandardPalettes.h>

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QSettings>
#include <QVBoxLayout>

namespace Keldar::OndrixLumivane {

namespace {
constexpr int staticPalettes = 6;
constexpr const char* settingsGroupName = "PaletteControl";
const char* const radioNames[PaletteControl::paletteCount] = {
    "paletteOneRadio",  "paletteTwoRadio", "paletteThreeRadio", "paletteFourRadio",
    "paletteFiveRadio", "paletteSixRadio", "dynamicOneRadio",   "dynamicTwoRadio"};
} // namespace

StaticPaletteSelector::StaticPaletteSelector(QWidget* parent)
    : QWidget(parent)
    , palettes(QPixmap::fromImage(Keldar::Ondrix::Visualisation::Palettes::StandardPalettes::loadImage()))
{
    setCursor(Qt::PointingHandCursor);
    setMinimumSize(128, staticPalettes * 18);
}

QSize StaticPaletteSelector::sizeHint() const
{
    return {160, staticPalettes * 22};
}

void StaticPaletteSelector::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    // Each band gets a strip of the widget with a small gap below it, so the
    // bands line up with their radio buttons.
    const double band = height() / static_cast<double>(staticPalettes);
    for (int p = 0; p < staticPalettes; ++p) {
        const QRectF target(0.0, p * band + 2.0, width(), band - 4.0);
        painter.drawPixmap(target, palettes, QRectF(0.0, p * 10.0, palettes.width(), 10.0));
    }
}

void StaticPaletteSelector::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !rect().contains(event->pos()) || height() <= 0) {
        return;
    }
    const int band = qBound(0, event->pos().y() * staticPalettes / height(), staticPalettes - 1);
    Q_EMIT paletteClicked(band + 1);
}

DynamicPaletteSlider::DynamicPaletteSlider(QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
{
    setRange(0, 255);
}

bool DynamicPaletteSlider::event(QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const bool wasEnabled = isEnabled();
        Q_EMIT dynamicPaletteClicked();
        // Choosing the palette enables the slider; only a press on a slider
        // that was already live moves its handle.
        if (!wasEnabled) {
            event->accept();
            return true;
        }
    }
    return QSlider::event(event);
}

PaletteControl::PaletteControl(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : BasicPopOutWidget(button, RightOfControl, 8, parent)
    , store(openSettingsStore())
    , selector(new StaticPaletteSelector(this))
    , fireSlider(new DynamicPaletteSlider(this))
    , aquaSlider(new DynamicPaletteSlider(this))
{
    selector->setObjectName(QStringLiteral("paletteImage"));
    fireSlider->setObjectName(QStringLiteral("dynamicOneSlider"));
    aquaSlider->setObjectName(QStringLiteral("dynamicTwoSlider"));
    auto* group = new QButtonGroup(this);
    for (int p = 0; p < paletteCount; ++p) {
        buttons[p] = new QRadioButton(this);
        buttons[p]->setObjectName(QString::fromLatin1(radioNames[p]));
        group->addButton(buttons[p], p);
    }

    auto* layout = PanelLayout::popOutBody(this);
    auto* title = PanelLayout::heading(QStringLiteral("Palettes"), this);
    title->setObjectName(QStringLiteral("palettesLabel"));
    layout->addWidget(title);

    auto* statics = new QGridLayout;
    statics->setHorizontalSpacing(8);
    statics->setVerticalSpacing(0);
    statics->addWidget(selector, 0, 0, staticPalettes, 1);
    for (int p = 0; p < staticPalettes; ++p) {
        statics->addWidget(buttons[p], p, 1, Qt::AlignCenter);
    }
    layout->addLayout(statics);
    layout->addWidget(PanelLayout::divider(this));
    auto* dynamics = PanelLayout::section();
    dynamics->addWidget(new QLabel(QStringLiteral("Dynamic Fire Palette"), this), 0, 0, 1, 2);
    dynamics->addWidget(fireSlider, 1, 0);
    dynamics->addWidget(buttons[firePalette], 1, 1, Qt::AlignCenter);
    dynamics->addWidget(new QLabel(QStringLiteral("Dynamic Aqua Palette"), this), 2, 0, 1, 2);
    dynamics->addWidget(aquaSlider, 3, 0);
    dynamics->addWidget(buttons[aquaPalette], 3, 1, Qt::AlignCenter);
    dynamics->setColumnStretch(0, 1);
    dynamics->setColumnStretch(1, 0);
    layout->addLayout(dynamics);

    for (int p = 0; p < paletteCount; ++p) {
        connect(buttons[p], &QRadioButton::clicked, this, [this, p] { paletteChosen(p); });
    }
    connect(selector, &StaticPaletteSelector::paletteClicked, this, &PaletteControl::selectStandardPalette);
    connect(fireSlider, &DynamicPaletteSlider::dynamicPaletteClicked, buttons[firePalette], &QRadioButton::click);
    connect(aquaSlider, &DynamicPaletteSlider::dynamicPaletteClicked, buttons[aquaPalette], &QRadioButton::click);
    connect(fireSlider, &QSlider::valueChanged, this, &PaletteControl::newPaletteModifierRequested);
    connect(aquaSlider, &QSlider::valueChanged, this, &PaletteControl::newPaletteModifierRequested);
}

PaletteControl::~PaletteControl() = default;

int PaletteControl::getPalette() const
{
    return palette;
}

QRadioButton* PaletteControl::paletteButton(int index) const
{
    return index >= 0 && index < paletteCount ? buttons[index] : nullptr;
}

DynamicPaletteSlider* PaletteControl::getFireSlider() const
{
    return fireSlider;
}

DynamicPaletteSlider* PaletteControl::getAquaSlider() const
{
    return aquaSlider;
}

StaticPaletteSelector* PaletteControl::getSelector() const
{
    return selector;
}

void PaletteControl::selectNextPalette()
{
    buttons[(palette + 1) % paletteCount]->click();
}

void PaletteControl::selectPreviousPalette()
{
    buttons[(palette + paletteCount - 1) % paletteCount]->click();
}

void PaletteControl::selectStandardPalette(int number)
{
    if (number >= 1 && number <= staticPalettes) {
        buttons[number - 1]->click();
    }
}

void PaletteControl::paletteChosen(int index)
{
    palette = index;
    fireSlider->setEnabled(index == firePalette);
    aquaSlider->setEnabled(index == aquaPalette);
    Q_EMIT newPaletteRequested(index);
    // The modifier belongs to the palette: the display needs the chosen one's.
    if (index == firePalette) {
        Q_EMIT newPaletteModifierRequested(fireSlider->value());
    } else if (index == aquaPalette) {
        Q_EMIT newPaletteModifierRequested(aquaSlider->value());
    }
    store->setValue(QString::fromLatin1(settingsGroupName) + QStringLiteral("/palette"), palette);
}

void PaletteControl::loadState()
{
    store->beginGroup(QString::fromLatin1(settingsGroupName));
    fireSlider->setValue(store->value(QStringLiteral("firePaletteModifier"), defaultModifier).toInt());
    aquaSlider->setValue(store->value(QStringLiteral("aquaPaletteModifier"), defaultModifier).toInt());
    const int stored = store->value(QStringLiteral("palette"), 0).toInt();
    store->endGroup();
    buttons[stored >= 0 && stored < paletteCount ? stored : 0]->click();
}

void PaletteControl::saveState()
{
    store->beginGroup(QString::fromLatin1(settingsGroupName));
    store->setValue(QStringLiteral("firePaletteModifier"), fireSlider->value());
    store->setValue(QStringLiteral("aquaPaletteModifier"), aquaSlider->value());
    store->setValue(QStringLiteral("palette"), palette);
    store->endGroup();
    store->sync();
}

} // namespace Keldar::OndrixLumivane
