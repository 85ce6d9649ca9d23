#include "sonarcontrols/FrequencyControl.h"

#include <keldar/gui/FloatingWidgetHandle.h>

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>

namespace Keldar::OndrixLumivane {

namespace {

QPushButton* makeChoice(const QString& name, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setMinimumWidth(72);
    return button;
}

} // namespace

FrequencyControl::FrequencyControl(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : BasicPopOutWidget(button, RightOfControl, gap, parent)
    , primaryButton(makeChoice(QStringLiteral("primaryButton"), QString(), this))
    , secondaryButton(makeChoice(QStringLiteral("secondaryButton"), QString(), this))
    , autoButton(makeChoice(QStringLiteral("autoButton"), QStringLiteral("Auto"), this))
    , group(new QButtonGroup(this))
{
    group->setExclusive(true);
    group->addButton(primaryButton);
    group->addButton(secondaryButton);
    group->addButton(autoButton);

    auto* handle = new GUI::Widgets::AddOns::FloatingWidgetHandle(this);
    handle->setObjectName(QStringLiteral("handle"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(primaryButton);
    layout->addWidget(secondaryButton);
    layout->addWidget(autoButton);
    layout->addWidget(handle);
    setDragHandle(handle);

    connect(primaryButton, &QPushButton::clicked, this, [this] { Q_EMIT newFrequencyRequested(Frequency::Low); });
    connect(secondaryButton, &QPushButton::clicked, this, [this] { Q_EMIT newFrequencyRequested(Frequency::High); });
    connect(autoButton, &QPushButton::clicked, this, &FrequencyControl::autoFrequencyRequested);
}

void FrequencyControl::setFrequencies(std::uint16_t primaryKHz, std::uint16_t secondaryKHz)
{
    primaryButton->setText(frequencyText(primaryKHz));
    secondaryButton->setText(frequencyText(secondaryKHz));
}

void FrequencyControl::showFrequency(Frequency frequency)
{
    QPushButton* target = frequency == Frequency::High ? secondaryButton : primaryButton;
    const QSignalBlocker blocker(target);
    target->setChecked(true);
}

void FrequencyControl::showAuto()
{
    const QSignalBlocker blocker(autoButton);
    autoButton->setChecked(true);
}

QPushButton* FrequencyControl::getPrimaryButton() const
{
    return primaryButton;
}

QPushButton* FrequencyControl::getSecondaryButton() const
{
    return secondaryButton;
}

QPushButton* FrequencyControl::getAutoButton() const
{
    return autoButton;
}

QString FrequencyControl::frequencyText(std::uint16_t kiloHertz)
{
    if (kiloHertz <= 999) {
        return QString::number(kiloHertz) + QStringLiteral(" kHz");
    }
    return QString::number(kiloHertz / 1000.0, 'g', 6) + QStringLiteral(" MHz");
}

} // namespace Keldar::OndrixLumivane
