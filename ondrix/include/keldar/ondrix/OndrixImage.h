#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace Keldar::Ondrix {

// One acoustic image: beams across, range lines down, one byte per sample.
// A plain value: copies duplicate the data, moves hand it over cheaply.
class OndrixImage
{
public:
    OndrixImage();
    // Bearings are hundredths of a degree, 0 straight ahead, positive to the right.
    OndrixImage(std::uint16_t width, std::uint16_t height, double range, double gain, double frequency,
                std::vector<std::int16_t> bearings, std::vector<std::uint8_t> data);
    OndrixImage(const OndrixImage& other);
    OndrixImage(OndrixImage&& other) noexcept;
    OndrixImage& operator=(const OndrixImage& other);
    OndrixImage& operator=(OndrixImage&& other) noexcept;
    ~OndrixImage();

    // A moved-from image answers like a default-constructed one rather than
    // dereferencing its missing record.
    std::uint16_t getWidth() const;
    std::uint16_t getHeight() const;
    double getRange() const;
    double getGain() const;
    double getFrequency() const;
    const std::vector<std::int16_t>& getBearings() const;
    const std::vector<std::uint8_t>& getData() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::Ondrix
