#pragma once

// Turning the libraries' records into Python objects. Everything here needs
// the GIL.

#include <keldar/logging/PropertyValue.h>
#include <keldar/logging/frames/LoggedFrame.h>
#include <keldar/navigation/Georeference.h>
#include <keldar/navigation/NavigationTrack.h>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>

namespace Keldar::Python {

namespace py = pybind11;

/// Text from a log, which need not be valid UTF-8: undecodable bytes become
/// U+FFFD rather than make the whole read fail.
py::str text(const std::string& value);

py::object propertyValue(const Logging::PropertyValue& value);

/// One sonar image as Python sees it: plain values and NumPy arrays of its
/// own, so that it outlives the log or connection it came from.
struct Frame
{
    std::int32_t frame = 0;
    py::object entryId; // None for a live image
    std::int64_t timestamp = 0;
    double range = 0.0;
    double gain = 0.0;
    double frequency = 0.0;
    float pitch = 0.0F;
    float roll = 0.0F;
    py::array_t<std::uint8_t> image;
    py::array_t<double> bearings;
    py::array_t<double> rowRanges;
    // Interpolated from the navigation recorded with the log; empty otherwise.
    Navigation::Pose pose;
    Navigation::Mounting mounting;
};

/// `live` frames have no log entry.
Frame makeFrame(const Logging::Frames::LoggedFrame& frame, bool live);

void defineFrame(py::module_& module);

} // namespace Keldar::Python
