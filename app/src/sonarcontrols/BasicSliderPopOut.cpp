#include "sonarcontrols/BasicSliderPopOut.h"

#include <keldar/gui/FloatingWidgetHandle.h>
#include <keldar/gui/SvgButton.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::AddOns::FloatingWidgetHandle;
using GUI::Widgets::Buttons::SvgButton;

namespace {

constexpr int minimumValueWidth = 30;

SvgButton* makeStepButton(const QString& icon, const QString& name, QWidget* parent)
{
    auto* button = new SvgButton(icon, parent);
    button->setObjectName(name);
    button->setFixedSize(24, 24);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

BasicSliderPopOut::BasicSliderPopOut(GUI::Widgets::Bases::PopOutWidgetControl* button, const QString& labelText,
                                     int minimum, int maximum, int singleStep, int pageStep, std::string unitSuffix,
                                     float factor, bool showPlusMinus, QWidget* parent)
    : BasicPopOutWidget(button, RightOfControl, gap, parent)
    , sliderLabel(new QLabel(labelText, this))
    , slider(new QSlider(Qt::Horizontal, this))
    , valueLabel(new QLabel(this))
    , handle(new FloatingWidgetHandle(this))
    , unitSuffix(std::move(unitSuffix))
    , factor(factor)
    , stepFunction(
          [singleStep](int value, int direction) { return direction == 0 ? value + singleStep : value - singleStep; })
{
    sliderLabel->setObjectName(QStringLiteral("sliderLabel"));
    slider->setObjectName(QStringLiteral("slider"));
    slider->setRange(minimum, maximum);
    slider->setSingleStep(singleStep);
    slider->setPageStep(pageStep);
    slider->setMinimumWidth(160);
    valueLabel->setObjectName(QStringLiteral("valueLabel"));
    valueLabel->setMinimumWidth(minimumValueWidth);
    valueLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    handle->setObjectName(QStringLiteral("handle"));

    auto* layout = new QHBoxLayout(this);
    // The bubble's own margins are enough: pop-outs of neighbouring buttons
    // must not overlap when several are open.
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(sliderLabel);
    if (showPlusMinus) {
        minusButton =
            makeStepButton(QStringLiteral(":/keldar-icons/General/Subtract.svg"), QStringLiteral("minusButton"), this);
        layout->addWidget(minusButton);
    }
    layout->addWidget(slider, 1);
    if (showPlusMinus) {
        plusButton =
            makeStepButton(QStringLiteral(":/keldar-icons/General/Add.svg"), QStringLiteral("plusButton"), this);
        layout->addWidget(plusButton);
        connect(minusButton, &QAbstractButton::clicked, this, [this] { step(1); });
        connect(plusButton, &QAbstractButton::clicked, this, [this] { step(0); });
    }
    layout->addWidget(valueLabel);
    layout->addWidget(handle);
    setDragHandle(handle);

    connect(slider, &QSlider::valueChanged, this, [this](int value) {
        updateValueLabel();
        Q_EMIT valueChanged(value);
        Q_EMIT valueChanged(static_cast<double>(value) * static_cast<double>(this->factor));
    });
    updateValueLabel();
}

void BasicSliderPopOut::setStepFunction(StepFunction function)
{
    stepFunction = std::move(function);
}

void BasicSliderPopOut::setUnitSuffix(const std::string& suffix)
{
    unitSuffix = suffix;
    updateValueLabel();
}

void BasicSliderPopOut::setFactor(float newFactor)
{
    factor = newFactor;
    updateValueLabel();
}

int BasicSliderPopOut::getValue() const
{
    return slider->value();
}

void BasicSliderPopOut::setValueQuietly(int value)
{
    const QSignalBlocker blocker(slider);
    slider->setValue(value);
    updateValueLabel();
}

void BasicSliderPopOut::setRangeQuietly(int minimum, int maximum)
{
    const QSignalBlocker blocker(slider);
    slider->setRange(minimum, maximum);
    updateValueLabel();
}

QSlider* BasicSliderPopOut::getSlider() const
{
    return slider;
}

SvgButton* BasicSliderPopOut::getPlusButton() const
{
    return plusButton;
}

SvgButton* BasicSliderPopOut::getMinusButton() const
{
    return minusButton;
}

QString BasicSliderPopOut::formatValue(double value, const std::string& suffix)
{
    const long long hundredths = std::llround(value * 100.0);
    int decimals = 0;
    if (hundredths % 10 != 0) {
        decimals = 2;
    } else if (hundredths % 100 != 0) {
        decimals = 1;
    }
    return QString::number(static_cast<double>(hundredths) / 100.0, 'f', decimals) + QString::fromStdString(suffix);
}

void BasicSliderPopOut::step(int direction)
{
    // The slider clamps the result to its range.
    slider->setValue(stepFunction(slider->value(), direction));
}

void BasicSliderPopOut::updateValueLabel()
{
    valueLabel->setText(formatValue(static_cast<double>(slider->value()) * static_cast<double>(factor), unitSuffix));
    // Room for the widest value of the range in the unit shown, so that a
    // longer value ("66.2m" after "2.5m") is never cut at its left.
    const double largest =
        std::max(std::abs(static_cast<double>(slider->minimum())), std::abs(static_cast<double>(slider->maximum()))) *
        std::abs(static_cast<double>(factor));
    QString widest = QString(QString::number(std::floor(largest), 'f', 0).size(), QLatin1Char('8')) +
                     QStringLiteral(".88") + QString::fromStdString(unitSuffix);
    if (static_cast<double>(slider->minimum()) * static_cast<double>(factor) < 0.0) {
        widest.prepend(QLatin1Char('-'));
    }
    const int needed = std::max(minimumValueWidth, valueLabel->fontMetrics().horizontalAdvance(widest));
    if (valueLabel->minimumWidth() != needed) {
        valueLabel->setMinimumWidth(needed);
        // Already sized and shown: it grows, and its bubble with it.
        if (testAttribute(Qt::WA_Resized) && width() < sizeHint().width()) {
            resize(sizeHint().width(), height());
            setPopOutDirection(getPopOutDirection());
        }
    }
}

} // namespace Keldar::OndrixLumivane
