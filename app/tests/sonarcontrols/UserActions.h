#pragma once

// What a user does to the sonar controls, for both the widget and the
// end-to-end tests. Failures are reported to GoogleTest.

#include <QSpinBox>
#include <QString>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace Keldar::OndrixLumivane::Testing {

inline void click(QWidget* widget)
{
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(widget->isVisible()) << widget->objectName().toStdString();
    QTest::mouseClick(widget, Qt::LeftButton);
}

// Types `value` over the octet box `box` ("firstOctet" ... "fourthOctet") of
// a dotted-quad input.
inline void typeOctet(QWidget* input, const char* box, int value)
{
    auto* spin = input->findChild<QSpinBox*>(QString::fromLatin1(box));
    ASSERT_NE(spin, nullptr);
    spin->setFocus();
    spin->selectAll();
    QTest::keyClicks(spin, QString::number(value));
    ASSERT_EQ(spin->value(), value);
}

} // namespace Keldar::OndrixLumivane::Testing
