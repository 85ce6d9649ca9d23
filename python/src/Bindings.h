#pragma once

#include <pybind11/pybind11.h>

#include <stdexcept>

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

void defineLog(py::module_& module);
void defineSonar(py::module_& module);

} // namespace Keldar::Python
