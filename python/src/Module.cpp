// The keldar Python module: recordings and live sonars through the project's
// own libraries.

#include "Bindings.h"
#include "Conversions.h"

#include <keldar/database/DatabaseError.h>
#include <keldar/logging/frames/FrameReader.h>
#include <keldar/logging/frames/LoggedFrame.h>

#include <exception>

PYBIND11_MODULE(keldar, module)
{
    namespace py = pybind11;
    using namespace Keldar;
    module.doc() = "Ondrix sonar recordings and live sonars from Python.\n"
                   "\n"
                   "    import keldar\n"
                   "    with keldar.open_log(\"20261208_103000.ondrix\") as log:\n"
                   "        print(len(log), log.metadata[\"applicationName\"])\n"
                   "        first = log[0]               # a Frame: image, bearings_deg, row_ranges_m, ...\n"
                   "        arrays = log.to_numpy()      # every frame as NumPy arrays\n"
                   "\n"
                   "    for sonar in keldar.scan(seconds=2):\n"
                   "        print(sonar[\"serial\"], sonar[\"model\"], sonar[\"address\"])\n"
                   "    with keldar.connect(12345, range_m=10) as sonar:\n"
                   "        for frame in sonar.frames(count=10):\n"
                   "            print(frame.image.shape)\n"
                   "\n"
                   "Images are uint8 arrays of shape (ranges, beams), row 0 nearest the sonar, 4-bit\n"
                   "samples widened as the viewer's display does.";

    py::register_exception_translator([](std::exception_ptr failure) {
        try {
            if (failure) {
                std::rethrow_exception(failure);
            }
        } catch (const Python::ConnectionFailure& error) {
            PyErr_SetString(PyExc_ConnectionError, error.what());
        } catch (const Python::FileFailure& error) {
            PyErr_SetString(PyExc_OSError, error.what());
        } catch (const Logging::Frames::FrameReadError& error) {
            PyErr_SetString(PyExc_OSError, error.what());
        } catch (const Database::DatabaseError& error) {
            PyErr_SetString(PyExc_OSError, error.what());
        } catch (const Logging::Frames::DamagedFrameError& error) {
            PyErr_SetString(PyExc_ValueError, error.what());
        }
    });

    Python::defineFrame(module);
    Python::defineLog(module);
    Python::defineNavigation(module);
    Python::defineSonar(module);
}
