#include "WidgetTestApplication.h"

#include <keldar/gui/DottedQuadInput.h>

#include <QSignalSpy>
#include <QSpinBox>

using Keldar::DottedQuadValue;
using Keldar::GUI::Widgets::Inputs::DottedQuadInput;

namespace {

QSpinBox* box(DottedQuadInput& input, const char* name)
{
    auto* found = input.findChild<QSpinBox*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

} // namespace

TEST_F(WidgetTest, DottedQuadShowsTheAddressLeftToRight)
{
    DottedQuadInput input;
    input.setValue(DottedQuadValue(std::string("192.168.1.10")));
    EXPECT_EQ(box(input, "firstOctet")->value(), 192);
    EXPECT_EQ(box(input, "secondOctet")->value(), 168);
    EXPECT_EQ(box(input, "thirdOctet")->value(), 1);
    EXPECT_EQ(box(input, "fourthOctet")->value(), 10);
    EXPECT_EQ(input.getValue().toString(), "192.168.1.10");
}

TEST_F(WidgetTest, DottedQuadBoxesHoldOneOctetEach)
{
    DottedQuadInput input;
    for (const char* name : {"firstOctet", "secondOctet", "thirdOctet", "fourthOctet"}) {
        EXPECT_EQ(box(input, name)->minimum(), 0);
        EXPECT_EQ(box(input, name)->maximum(), 255);
    }
    box(input, "secondOctet")->setValue(300);
    EXPECT_EQ(input.getValue().toString(), "0.255.0.0");
}

TEST_F(WidgetTest, DottedQuadEditingOneBoxReportsTheWholeAddress)
{
    DottedQuadInput input;
    input.setValue(DottedQuadValue(std::string("10.0.0.1")));
    QSignalSpy changed(&input, &DottedQuadInput::valueChanged);
    box(input, "thirdOctet")->setValue(7);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<DottedQuadValue>().toString(), "10.0.7.1");
    EXPECT_EQ(input.getValue().toString(), "10.0.7.1");
}

TEST_F(WidgetTest, DottedQuadSetValueReportsOnceAndOnlyOnChange)
{
    DottedQuadInput input;
    QSignalSpy changed(&input, &DottedQuadInput::valueChanged);
    input.setValue(DottedQuadValue(std::string("255.255.255.0")));
    EXPECT_EQ(changed.count(), 1);
    input.setValue(DottedQuadValue(std::string("255.255.255.0")));
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(WidgetTest, DottedQuadReadOnlyCoversAllFourBoxes)
{
    DottedQuadInput input;
    input.setReadOnly(true);
    for (const char* name : {"firstOctet", "secondOctet", "thirdOctet", "fourthOctet"})
        EXPECT_TRUE(box(input, name)->isReadOnly()) << name;
    input.setReadOnly(false);
    EXPECT_FALSE(box(input, "fourthOctet")->isReadOnly());
}
