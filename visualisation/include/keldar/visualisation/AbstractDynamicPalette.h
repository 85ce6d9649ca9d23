#pragma once

#include <keldar/visualisation/AbstractPalette.h>

#include <array>
#include <cstdint>

namespace Keldar::Ondrix::Visualisation::Palettes {

// A generated 256 x 1 palette whose shape follows a one-byte modifier. The
// table is regenerated lazily, at most once per bind and only after the
// modifier was set.
class AbstractDynamicPalette : public AbstractPalette
{
public:
    static constexpr int Entries = 256;
    using Table = std::array<std::uint8_t, Entries * 4>; // RGBA bytes

    void initialise() override;
    void bind(unsigned unit) override;

    virtual void setModifier(std::uint8_t modifier);
    virtual std::uint8_t getModifier() const;
    virtual void generate() = 0;

    bool needsGenerating() const;
    // How often the table has been generated; lets tests see lazy regeneration.
    int getGenerationCount() const;

protected:
    void upload(const Table& table);

private:
    bool generationNeeded = false;
    std::uint8_t modifier = 0;
    int generations = 0;
};

} // namespace Keldar::Ondrix::Visualisation::Palettes
