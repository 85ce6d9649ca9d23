#include "support/TestSupport.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace Keldar::Ondrix::Visualisation::Testing {

namespace {

QApplication* application = nullptr;

// Deletes the application before static destruction, while Qt's thread
// storage still exists (a function-static QApplication crashes at exit).
class ApplicationEnvironment : public ::testing::Environment
{
public:
    void TearDown() override
    {
        delete application;
        application = nullptr;
    }
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

} // namespace

void ensureApplication()
{
    if (QApplication::instance() != nullptr) {
        return;
    }
    static int argc = 1;
    static char name[] = "visualisation-test";
    static char* argv[] = {name, nullptr};
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    application = new QApplication(argc, argv);
}

std::vector<std::int16_t> spreadBearings(std::uint16_t beams, std::int16_t first, std::int16_t last)
{
    std::vector<std::int16_t> bearings(beams);
    for (std::size_t k = 0; k < beams; ++k) {
        const double along = beams > 1 ? static_cast<double>(k) / (beams - 1) : 0.0;
        bearings[k] = static_cast<std::int16_t>(first + along * (last - first));
    }
    return bearings;
}

OndrixImage constantImage(std::uint16_t beams, std::uint16_t lines, double range, std::uint8_t value)
{
    return imageOf(beams, lines, range, std::vector<std::uint8_t>(static_cast<std::size_t>(beams) * lines, value));
}

OndrixImage imageOf(std::uint16_t beams, std::uint16_t lines, double range, std::vector<std::uint8_t> samples)
{
    return {beams, lines, range, 50.0, 900.0, spreadBearings(beams, -6500, 6500), std::move(samples)};
}

int channelDifference(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

} // namespace Keldar::Ondrix::Visualisation::Testing
