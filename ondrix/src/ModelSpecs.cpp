#include <keldar/ondrix/ModelSpecs.h>

#include <algorithm>

namespace Keldar::Ondrix {

namespace {

using M = ModelNumber;

ModelSpec singleFrequency(const char* name, std::uint16_t frequency, float minimum, float maximum)
{
    return ModelSpec{name, 0, frequency, minimum, maximum, frequency, minimum, maximum};
}

ModelSpec dualFrequency(const char* name, std::uint16_t first, float firstMinimum, float firstMaximum,
                        std::uint16_t second, float secondMinimum, float secondMaximum)
{
    return ModelSpec{name, 1, first, firstMinimum, firstMaximum, second, secondMinimum, secondMaximum};
}

} // namespace

const std::map<std::vector<ModelNumber>, ModelSpec> ModelSpecs::models{
    {{M::Unknown}, ModelSpec{"Unknown", 0, 0, 1.0F, 30.0F, 0, 0.0F, 0.0F}},
    {{M::PelmarA1041, M::PelmarA1436, M::PelmarA1229}, singleFrequency("Pelmar A", 375, 1.0F, 200.0F)},
    {{M::PelmarB1433, M::PelmarB2295, M::PelmarB1217}, singleFrequency("Pelmar B", 375, 1.0F, 200.0F)},
    {{M::PelmarC2418}, singleFrequency("Pelmar C", 375, 1.0F, 200.0F)},
    {{M::QuillonA4713}, dualFrequency("Quillon A", 550, 1.0F, 100.0F, 820, 0.3F, 30.0F)},
    {{M::RostrelA1032, M::RostrelA1134, M::RostrelA1135},
     dualFrequency("Rostrel A", 750, 1.0F, 120.0F, 1200, 0.3F, 40.0F)},
    {{M::RostrelB1434, M::RostrelB2296, M::RostrelB1244},
     dualFrequency("Rostrel B", 750, 1.0F, 120.0F, 1200, 0.3F, 40.0F)},
    {{M::RostrelC2419}, dualFrequency("Rostrel C", 750, 1.0F, 120.0F, 1200, 0.3F, 40.0F)},
    {{M::RostrelE4433}, dualFrequency("Rostrel E", 750, 1.0F, 120.0F, 1200, 0.3F, 40.0F)},
    {{M::RostrelF4912}, dualFrequency("Rostrel F", 750, 1.0F, 120.0F, 1200, 0.3F, 40.0F)},
    {{M::SevanthA1042, M::SevanthA1437, M::SevanthA1228},
     dualFrequency("Sevanth A", 1200, 1.0F, 40.0F, 2100, 0.3F, 10.0F)},
    {{M::SevanthB1435, M::SevanthB2297, M::SevanthB1219},
     dualFrequency("Sevanth B", 1200, 1.0F, 40.0F, 2100, 0.3F, 10.0F)},
    {{M::SevanthC2420}, dualFrequency("Sevanth C", 1200, 1.0F, 40.0F, 2100, 0.3F, 10.0F)},
    {{M::TavrinA2203, M::TavrinA2466, M::TavrinA2924}, dualFrequency("Tavrin A", 1200, 1.0F, 30.0F, 3000, 0.3F, 5.0F)},
    {{M::TavrinB2656, M::TavrinB2659, M::TavrinB2658}, dualFrequency("Tavrin B", 1200, 1.0F, 30.0F, 3000, 0.3F, 5.0F)},
    {{M::TavrinC2599}, dualFrequency("Tavrin C", 1200, 1.0F, 30.0F, 3000, 0.3F, 5.0F)},
};

ModelSpec ModelSpecs::getModelSpec(ModelNumber number)
{
    // A linear scan is plenty for sixteen entries of at most three numbers.
    for (const auto& [numbers, spec] : models) {
        if (std::find(numbers.begin(), numbers.end(), number) != numbers.end()) {
            return spec;
        }
    }
    return models.at({ModelNumber::Unknown});
}

} // namespace Keldar::Ondrix
