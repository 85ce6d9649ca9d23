#include "Conversions.h"

#include <cstring>
#include <limits>
#include <sstream>
#include <variant>

namespace Keldar::Python {

py::str text(const std::string& value)
{
    PyObject* decoded = PyUnicode_DecodeUTF8(value.data(), static_cast<Py_ssize_t>(value.size()), "replace");
    if (decoded == nullptr) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::str>(decoded);
}

py::object propertyValue(const Logging::PropertyValue& value)
{
    return std::visit(
        [](const auto& alternative) -> py::object {
            using T = std::decay_t<decltype(alternative)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return text(alternative);
            } else if constexpr (std::is_same_v<T, double>) {
                return py::float_(alternative);
            } else {
                return py::int_(alternative);
            }
        },
        value);
}

Frame makeFrame(const Logging::Frames::LoggedFrame& logged, bool live)
{
    const auto& image = logged.image;
    Frame frame;
    frame.frame = logged.frame;
    frame.entryId = live ? py::none() : py::object(py::int_(logged.entryId));
    frame.timestamp = logged.timestamp;
    frame.range = image.getRange();
    frame.gain = image.getGain();
    frame.frequency = image.getFrequency();
    constexpr float missing = std::numeric_limits<float>::quiet_NaN();
    frame.pitch = logged.attitude ? logged.attitude->pitch : missing;
    frame.roll = logged.attitude ? logged.attitude->roll : missing;
    // The image's own counts are trusted only when its samples agree.
    Logging::Frames::checkConsistent(logged);
    frame.image = py::array_t<std::uint8_t>({std::size_t{image.getHeight()}, std::size_t{image.getWidth()}});
    std::memcpy(frame.image.mutable_data(), image.getData().data(), image.getData().size());
    const auto bearings = Logging::Frames::bearingsInDegrees(image);
    frame.bearings = py::array_t<double>(bearings.size(), bearings.data());
    const auto rows = Logging::Frames::rowRanges(image);
    frame.rowRanges = py::array_t<double>(rows.size(), rows.data());
    return frame;
}

void defineFrame(py::module_& module)
{
    py::class_<Frame>(module, "Frame",
                      "One sonar image, from a log (``log[i]``, iterating a log) or from a live sonar\n"
                      "(``Sonar.frames``). Its arrays are its own: it outlives the log or connection.")
        .def_readonly("frame", &Frame::frame,
                      "Frame number: the viewer's playback position in a log; for a live sonar, the\n"
                      "number of images received before this one since connecting.")
        .def_readonly("entry_id", &Frame::entryId, "Id of the log entry holding the image; None for a live image.")
        .def_readonly("timestamp_ms", &Frame::timestamp,
                      "Time of the image in milliseconds since 1970-01-01 UTC (for a live image: its arrival).")
        .def_readonly("range_m", &Frame::range, "Range of the image in metres.")
        .def_readonly("gain", &Frame::gain, "Gain in percent.")
        .def_readonly("frequency", &Frame::frequency, "Acoustic frequency as the sonar reported it.")
        .def_readonly("pitch", &Frame::pitch, "Pitch as the sonar reported it; NaN where the message carries none.")
        .def_readonly("roll", &Frame::roll, "Roll as the sonar reported it; NaN where the message carries none.")
        .def_readonly("image", &Frame::image,
                      "Samples, uint8, shape (ranges, beams): row 0 nearest the sonar, beams left to\n"
                      "right; 4-bit samples widened as the display does (into the high half).")
        .def_readonly("bearings_deg", &Frame::bearings,
                      "Bearing of each beam in degrees, float64, shape (beams,): 0 ahead, positive to the right.")
        .def_readonly("row_ranges_m", &Frame::rowRanges,
                      "Range of the middle of each sample row in metres, float64, shape (ranges,).")
        .def("__repr__", [](const Frame& frame) {
            std::ostringstream text;
            text << "<keldar.Frame " << frame.frame << ": " << frame.image.shape(1) << " beams x "
                 << frame.image.shape(0) << " ranges, range " << frame.range << " m, gain " << frame.gain << " %>";
            return text.str();
        });
}

} // namespace Keldar::Python
