#pragma once

#include <keldar/navigation/Georeference.h>
#include <keldar/navigation/NavigationTrack.h>

#include <pybind11/pybind11.h>

#include <optional>
#include <stdexcept>

namespace Keldar::Logging {
class LogFileInterface;
}

namespace Keldar::Python {

namespace py = pybind11;

/// Raised to Python as ConnectionError.
class ConnectionFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// Raised to Python as OSError.
class FileFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct Frame;

/// A log's navigation, read on first use.
struct LogNavigation
{
    std::optional<Navigation::NavigationTrack> track;
    Navigation::Mounting mounting;
};

/// Gives a frame of `file` its position and heading. Needs no GIL.
void attachNavigation(Frame& frame, const Logging::LogFileInterface& file, LogNavigation& navigation);

void defineLog(py::module_& module);
void defineNavigation(py::module_& module);
void defineSonar(py::module_& module);

} // namespace Keldar::Python
