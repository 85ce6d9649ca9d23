// Where each frame was: Frame.position, Frame.heading, Frame.georeference(),
// Log.track(), keldar.catalog and, with Dask installed, keldar.dask.

#include "Bindings.h"
#include "Conversions.h"
#include "EmbeddedPython.h"

#include <keldar/logging/SqliteLogFile.h>
#include <keldar/navigation/NavigationLog.h>

#include <pybind11/eval.h>
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <filesystem>
#include <limits>

namespace Keldar::Python {

void attachNavigation(Frame& frame, const Logging::LogFileInterface& file, LogNavigation& navigation)
{
    if (!navigation.track) {
        navigation.track = Navigation::readNavigationTrack(file);
        navigation.mounting = Navigation::recordedMounting(file);
    }
    frame.pose = navigation.track->poseAt(frame.timestamp);
    frame.mounting = navigation.mounting;
}

namespace {

py::dict georeference(const Frame& frame)
{
    if (!frame.pose.position || !frame.pose.heading) {
        throw py::value_error("the frame has no position and heading: its log recorded no navigation near it");
    }
    const auto bearings = frame.bearings.cast<std::vector<double>>();
    const auto rows = frame.rowRanges.cast<std::vector<double>>();
    const Navigation::UtmProjection projection(*frame.pose.position);
    const auto placement =
        Navigation::placeSonar(projection, *frame.pose.position, *frame.pose.heading, frame.mounting);
    auto samples = Navigation::georeferenceSamples(projection, placement, rows, bearings);
    const std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(rows.size()),
                                         static_cast<py::ssize_t>(bearings.size())};
    py::dict result;
    result["easting"] = py::array_t<double>(shape, samples.eastings.data());
    result["northing"] = py::array_t<double>(shape, samples.northings.data());
    result["zone"] = samples.zone;
    result["hemisphere"] = samples.north ? "N" : "S";
    result["epsg"] = (samples.north ? 32600 : 32700) + samples.zone;
    return result;
}

py::dict track(const py::object& log)
{
    const auto path = py::module_::import("os").attr("fsencode")(log.attr("path")).cast<std::string>();
    if (log.attr("closed").cast<bool>()) {
        throw py::value_error("I/O operation on a closed log");
    }
    std::vector<std::int64_t> times;
    std::vector<double> latitudes;
    std::vector<double> longitudes;
    std::vector<double> headings;
    {
        py::gil_scoped_release release;
        // A reader of its own: read-only, so the Log's file is left as it is.
        const Logging::SqliteLogFile file(std::filesystem::path(path), Logging::SqliteLogFile::Access::ReadOnly);
        const auto recorded = Navigation::readNavigationTrack(file);
        for (const auto& sample : recorded.positions()) {
            times.push_back(sample.timeMs);
            latitudes.push_back(sample.position.latitude);
            longitudes.push_back(sample.position.longitude);
            headings.push_back(recorded.headingAt(sample.timeMs).value_or(std::numeric_limits<double>::quiet_NaN()));
        }
    }
    py::dict result;
    result["time"] = py::array_t<std::int64_t>(static_cast<py::ssize_t>(times.size()), times.data());
    result["latitude"] = py::array_t<double>(static_cast<py::ssize_t>(latitudes.size()), latitudes.data());
    result["longitude"] = py::array_t<double>(static_cast<py::ssize_t>(longitudes.size()), longitudes.data());
    result["heading"] = py::array_t<double>(static_cast<py::ssize_t>(headings.size()), headings.data());
    return result;
}

} // namespace

void defineNavigation(py::module_& module)
{
    auto frame = py::reinterpret_borrow<py::class_<Frame>>(module.attr("Frame"));
    frame
        .def_property_readonly(
            "position",
            [](const Frame& f) -> py::object {
                if (!f.pose.position) {
                    return py::none();
                }
                return py::make_tuple(f.pose.position->latitude, f.pose.position->longitude);
            },
            "(latitude, longitude) in degrees where the frame was taken, interpolated from the\n"
            "navigation recorded with the log (never more than 2 s from a fix); None without.")
        .def_property_readonly(
            "heading",
            [](const Frame& f) -> py::object {
                return f.pose.heading ? py::object(py::float_(*f.pose.heading)) : py::object(py::none());
            },
            "Heading in degrees true at the frame's time, or None.")
        .def("georeference", &georeference,
             "Each sample's place in the UTM zone of the frame's position, as a dict: easting and\n"
             "northing (float64 arrays shaped like image, metres), zone, hemisphere and epsg. A\n"
             "sample at range r and bearing b lies at r along heading + mounting offset + b from\n"
             "true north, turned by the grid convergence; pitch and roll are not applied.\n"
             "ValueError for a frame without position and heading.");

    auto log = module.attr("Log");
    py::setattr(log, "track",
                py::cpp_function(&track, py::name("track"), py::is_method(log),
                                 "The recorded positions as a dict of NumPy arrays: time (int64 ms since\n"
                                 "1970-01-01 UTC), latitude and longitude (degrees) and heading (degrees\n"
                                 "true, interpolated; NaN where none is near). Empty arrays without\n"
                                 "navigation."));

    py::exec(catalogSource, module.attr("__dict__"));

    // keldar.dask only where Dask is installed; looking for it costs nothing,
    // importing it does, so only the submodule imports it.
    const auto util = py::module_::import("importlib.util");
    if (!util.attr("find_spec")("dask").is_none() && !util.attr("find_spec")("numpy").is_none()) {
        auto dask = py::module_::import("types").attr("ModuleType")("keldar.dask");
        py::dict space = dask.attr("__dict__");
        space["__keldar_module__"] = module;
        py::exec(daskSource, space);
        space.attr("pop")("__keldar_module__");
        module.attr("dask") = dask;
        py::module_::import("sys").attr("modules")["keldar.dask"] = dask;
    }
}

} // namespace Keldar::Python
