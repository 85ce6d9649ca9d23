#pragma once

#include <keldar/core/DottedQuadValue.h>

#include <QMetaType>
#include <QWidget>

#include <array>

class QSpinBox;

namespace Keldar::GUI::Widgets::Inputs {

// Four octet boxes for an IPv4 address or mask. The first box holds octet 0
// of the value, the fourth octet 3.
class DottedQuadInput : public QWidget
{
    Q_OBJECT

public:
    explicit DottedQuadInput(QWidget* parent = nullptr);

    void setValue(const Keldar::DottedQuadValue& value);
    Keldar::DottedQuadValue getValue() const;
    void setReadOnly(bool readOnly);
    bool isReadOnly() const;

signals:
    void valueChanged(Keldar::DottedQuadValue value);

private:
    void storeOctet(int index, int octet);

    std::array<QSpinBox*, 4> boxes{};
    // Octet 0 in the least significant byte, as the unswapped integer form has it.
    quint32 packed = 0;
    bool writing = false;
};

} // namespace Keldar::GUI::Widgets::Inputs

// Lets the value travel through queued connections and signal spies.
Q_DECLARE_METATYPE(Keldar::DottedQuadValue)
