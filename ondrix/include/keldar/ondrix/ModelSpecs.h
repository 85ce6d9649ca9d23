#pragma once

#include <keldar/ondrix/ModelNumber.h>
#include <keldar/ondrix/ModelSpec.h>

#include <map>
#include <vector>

namespace Keldar::Ondrix {

// The model table. Built during the library's static initialisation and
// read-only afterwards, so readers need no lock.
class ModelSpecs
{
public:
    ModelSpecs() = delete;

    // Keys are the part numbers that share one model entry.
    static const std::map<std::vector<ModelNumber>, ModelSpec> models;

    // Unlisted part numbers give the "Unknown" entry.
    static ModelSpec getModelSpec(ModelNumber number);
};

} // namespace Keldar::Ondrix
