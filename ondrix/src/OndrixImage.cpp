#include <keldar/ondrix/OndrixImage.h>

#include <utility>

namespace Keldar::Ondrix {

struct OndrixImage::Private
{
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    double range = 0.0;
    double gain = 0.0;
    double frequency = 0.0;
    std::vector<std::int16_t> bearings;
    std::vector<std::uint8_t> data;
};

namespace {
// What a moved-from image reports, so that a stray read is harmless.
const std::vector<std::int16_t> noBearings;
const std::vector<std::uint8_t> noData;
} // namespace

OndrixImage::OndrixImage()
    : d(std::make_unique<Private>())
{
}

OndrixImage::OndrixImage(std::uint16_t width, std::uint16_t height, double range, double gain, double frequency,
                         std::vector<std::int16_t> bearings, std::vector<std::uint8_t> data)
    : d(std::make_unique<Private>(Private{width, height, range, gain, frequency, std::move(bearings), std::move(data)}))
{
}

OndrixImage::OndrixImage(const OndrixImage& other)
    : d(other.d ? std::make_unique<Private>(*other.d) : nullptr)
{
}

OndrixImage::OndrixImage(OndrixImage&& other) noexcept = default;

OndrixImage& OndrixImage::operator=(const OndrixImage& other)
{
    if (this != &other) {
        // Build the copy first so that a failed allocation leaves *this intact.
        d = other.d ? std::make_unique<Private>(*other.d) : nullptr;
    }
    return *this;
}

OndrixImage& OndrixImage::operator=(OndrixImage&& other) noexcept = default;

OndrixImage::~OndrixImage() = default;

std::uint16_t OndrixImage::getWidth() const
{
    return d ? d->width : 0;
}
std::uint16_t OndrixImage::getHeight() const
{
    return d ? d->height : 0;
}
double OndrixImage::getRange() const
{
    return d ? d->range : 0.0;
}
double OndrixImage::getGain() const
{
    return d ? d->gain : 0.0;
}
double OndrixImage::getFrequency() const
{
    return d ? d->frequency : 0.0;
}
const std::vector<std::int16_t>& OndrixImage::getBearings() const
{
    return d ? d->bearings : noBearings;
}
const std::vector<std::uint8_t>& OndrixImage::getData() const
{
    return d ? d->data : noData;
}

} // namespace Keldar::Ondrix
