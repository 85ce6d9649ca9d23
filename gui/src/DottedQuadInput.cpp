#include <keldar/gui/DottedQuadInput.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

namespace Keldar::GUI::Widgets::Inputs {

namespace {
constexpr std::array<const char*, 4> boxNames{"firstOctet", "secondOctet", "thirdOctet", "fourthOctet"};

int octetOf(quint32 packed, int index)
{
    return static_cast<int>((packed >> (8 * index)) & 0xFFu);
}
} // namespace

DottedQuadInput::DottedQuadInput(QWidget* parent)
    : QWidget(parent)
{
    qRegisterMetaType<Keldar::DottedQuadValue>();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (int index = 0; index < 4; ++index) {
        if (index > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            layout->addWidget(dot);
        }
        auto* box = new QSpinBox(this);
        box->setObjectName(boxNames[index]);
        box->setRange(0, 255);
        box->setButtonSymbols(QAbstractSpinBox::NoButtons);
        box->setAlignment(Qt::AlignCenter);
        box->setAccelerated(true);
        layout->addWidget(box, 1);
        boxes[index] = box;
        connect(box, qOverload<int>(&QSpinBox::valueChanged), this,
                [this, index](int octet) { storeOctet(index, octet); });
    }
}

void DottedQuadInput::setValue(const Keldar::DottedQuadValue& value)
{
    const quint32 incoming = value.toUint32_t(false);
    if (incoming == packed)
        return;
    packed = incoming;
    // One signal for the whole address, not one per box.
    writing = true;
    for (int index = 0; index < 4; ++index)
        boxes[index]->setValue(octetOf(packed, index));
    writing = false;
    emit valueChanged(getValue());
}

Keldar::DottedQuadValue DottedQuadInput::getValue() const
{
    return Keldar::DottedQuadValue(packed, false);
}

void DottedQuadInput::setReadOnly(bool readOnly)
{
    for (QSpinBox* box : boxes)
        box->setReadOnly(readOnly);
}

bool DottedQuadInput::isReadOnly() const
{
    return boxes[0]->isReadOnly();
}

void DottedQuadInput::storeOctet(int index, int octet)
{
    const quint32 shift = 8u * static_cast<quint32>(index);
    packed = (packed & ~(0xFFu << shift)) | (static_cast<quint32>(octet & 0xFF) << shift);
    if (!writing)
        emit valueChanged(getValue());
}

} // namespace Keldar::GUI::Widgets::Inputs
