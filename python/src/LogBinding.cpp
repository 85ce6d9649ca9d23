// keldar.open_log and keldar.Log: reading a recording through the log and
// frame libraries.

#include "Bindings.h"
#include "Conversions.h"

#include <keldar/database/DatabaseError.h>
#include <keldar/logging/LegacyLogFileError.h>
#include <keldar/logging/NotALogFileError.h>
#include <keldar/logging/SqliteLogFile.h>
#include <keldar/logging/frames/FrameArrays.h>
#include <keldar/logging/frames/FrameReader.h>

#include <pybind11/stl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include <unistd.h>

namespace Keldar::Python {

namespace {

using Logging::Frames::FrameReader;
using Logging::Frames::LoggedFrame;

// The open file and its frame index. Calls that release the GIL hold the
// mutex, so that a close from another thread waits for them.
struct LogState
{
    std::mutex mutex;
    std::unique_ptr<Logging::SqliteLogFile> file;
    std::unique_ptr<FrameReader> reader;
    bool writable = false;
    std::string path;
    // Found when the log was opened: the entries it lists and those that read.
    bool damaged = false;
    std::int64_t listedEntries = 0;
    std::int64_t readableEntries = 0;
    // What opening it found wrong, for a warning; empty when nothing.
    std::string warning;
    LogNavigation navigation;
};

// Position and heading from the log's navigation, under the log's lock.
void withNavigation(Frame& frame, const std::shared_ptr<LogState>& state)
{
    py::gil_scoped_release release;
    std::lock_guard lock(state->mutex);
    if (state->file) {
        attachNavigation(frame, *state->file, state->navigation);
    }
}

[[noreturn]] void raiseClosed()
{
    throw py::value_error("I/O operation on a closed log");
}

// An OSError for errno with the file name, as Python's own open() raises:
// FileNotFoundError, IsADirectoryError, PermissionError.
[[noreturn]] void raiseOsError(int error, const std::string& path)
{
    errno = error;
    PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
    throw py::error_already_set();
}

// Refuses what the log library would otherwise create or misread: a missing
// path, a folder, a file that cannot be read. Opening never writes.
void checkReadablePath(const std::string& path, bool writable)
{
    std::error_code code;
    const auto status = std::filesystem::status(path, code);
    if (!std::filesystem::exists(status)) {
        raiseOsError(ENOENT, path);
    }
    if (std::filesystem::is_directory(status)) {
        raiseOsError(EISDIR, path);
    }
    if (::access(path.c_str(), writable ? (R_OK | W_OK) : R_OK) != 0) {
        raiseOsError(errno, path);
    }
}

class Log
{
public:
    Log(const std::string& path, bool writable)
        : state_(std::make_shared<LogState>())
    {
        checkReadablePath(path, writable);
        state_->path = path;
        state_->writable = writable;
        py::gil_scoped_release release;
        std::error_code error;
        // An empty file would be taken for a new log and get the schema.
        if (std::filesystem::file_size(path, error) == 0 && !error) {
            throw Logging::NotALogFileError();
        }
        try {
            // Writable or not, opening writes nothing: a bookmark opens the
            // file for writing when it is added.
            state_->file = std::make_unique<Logging::SqliteLogFile>(
                std::filesystem::path(path), writable ? Logging::SqliteLogFile::Access::ReadWriteExisting
                                                      : Logging::SqliteLogFile::Access::ReadOnly);
            // First: a damaged log's frames are those found to read.
            checkDamage(*state_);
            state_->reader = std::make_unique<FrameReader>(*state_->file);
        } catch (const Logging::NotALogFileError&) {
            throw;
        } catch (const Logging::LegacyLogFileError&) {
            throw;
        } catch (const Database::DatabaseError& failure) {
            throw FileFailure(path + ": " + failure.what());
        }
    }

    // Counts what reads of a damaged log, and words the warning.
    static void checkDamage(LogState& state)
    {
        const Logging::SqliteLogFile& file = *state.file;
        if (file.lookForDamage()) {
            const auto count = file.checkEntries();
            state.damaged = true;
            state.listedEntries = count ? count->listed : 0;
            state.readableEntries = count ? count->readable : 0;
            state.warning = state.path + ": " +
                            (file.endIsDamaged() ? "the end is damaged: " : "the file is damaged: ") +
                            std::to_string(state.readableEntries) + " of " + std::to_string(state.listedEntries) +
                            " entries readable";
        } else {
            state.listedEntries = state.readableEntries = std::max(file.getEntryCount(), 0);
            if (file.openedMidWrite()) {
                state.warning =
                    state.path +
                    ": the recording was cut off while it was being written; its committed entries are read";
            }
        }
    }

    [[nodiscard]] const std::string& openingWarning() const { return state_->warning; }
    [[nodiscard]] bool damaged() const { return state_->damaged; }
    [[nodiscard]] std::pair<std::int64_t, std::int64_t> entryCounts() const
    {
        return {state_->readableEntries, state_->listedEntries};
    }

    void close()
    {
        auto state = state_;
        py::gil_scoped_release release;
        std::lock_guard lock(state->mutex);
        state->reader.reset();
        state->file.reset();
    }

    [[nodiscard]] bool closed() const
    {
        auto state = state_;
        py::gil_scoped_release release; // another thread may hold the log for a long read
        std::lock_guard lock(state->mutex);
        return !state->file;
    }

    // Runs `work(file, reader)` without the GIL and with the log held open.
    template<typename Work>
    auto withFile(Work&& work) const
    {
        auto state = state_;
        py::gil_scoped_release release;
        std::lock_guard lock(state->mutex);
        if (!state->file) {
            raiseClosed();
        }
        return work(*state->file, *state->reader);
    }

    [[nodiscard]] std::int32_t length() const
    {
        return withFile([](auto&, const FrameReader& reader) { return reader.count(); });
    }

    // Python's index rules: negative counts from the end.
    [[nodiscard]] std::int32_t frameIndex(std::int64_t index) const
    {
        const std::int64_t count = length();
        const std::int64_t frame = index < 0 ? index + count : index;
        if (frame < 0 || frame >= count) {
            throw py::index_error("frame " + std::to_string(index) + " is not in the log, which has " +
                                  std::to_string(count) + " frames");
        }
        return static_cast<std::int32_t>(frame);
    }

    Frame at(std::int64_t index) const
    {
        const std::int32_t frame = frameIndex(index);
        const LoggedFrame logged = withFile([frame](auto&, const FrameReader& reader) {
            try {
                return reader.read(frame);
            } catch (const Logging::Frames::DamagedFrameError& error) {
                throw py::value_error(error.what());
            }
        });
        try {
            auto result = makeFrame(logged, false);
            withNavigation(result, state_);
            return result;
        } catch (const Logging::Frames::DamagedFrameError& error) {
            throw py::value_error(error.what());
        }
    }

    py::dict metadata() const
    {
        const auto entries = withFile([](const Logging::SqliteLogFile& file, auto&) { return file.getAllMetadata(); });
        py::dict result;
        for (const auto& entry : entries) {
            result[text(entry.key)] = propertyValue(entry.value);
        }
        return result;
    }

    py::list sources() const
    {
        using Sources = std::pair<std::vector<Logging::DataSource>, std::vector<Logging::DataSourceProperty>>;
        const auto [sources, properties] = withFile([](const Logging::SqliteLogFile& file, auto&) {
            return Sources{file.getDataSources(), file.getAllDataSourceProperties()};
        });
        py::list result;
        for (const auto& source : sources) {
            py::dict values;
            for (const auto& property : properties) {
                if (property.dataSourceId == source.id) {
                    values[text(property.key)] = propertyValue(property.value);
                }
            }
            py::dict item;
            item["id"] = source.id;
            item["type"] = static_cast<int>(source.type);
            item["name"] = text(source.name);
            item["properties"] = values;
            result.append(item);
        }
        return result;
    }

    py::list bookmarks() const
    {
        const auto bookmarks = withFile([](const Logging::SqliteLogFile& file, auto&) { return file.getBookmarks(); });
        py::list result;
        for (const auto& bookmark : bookmarks) {
            result.append(makeBookmark(bookmark));
        }
        return result;
    }

    py::object addBookmark(std::int64_t index, const std::string& title, const std::string& comments)
    {
        if (!state_->writable) {
            const auto unsupported = py::module_::import("io").attr("UnsupportedOperation");
            PyErr_SetString(unsupported.ptr(), "the log was opened read-only; open it with writable=True");
            throw py::error_already_set();
        }
        if (title.find_first_not_of(" \t\r\n") == std::string::npos) {
            throw py::value_error("a bookmark needs a title");
        }
        const std::int32_t frame = frameIndex(index);
        Logging::Bookmark bookmark;
        bookmark.title = title;
        bookmark.comments = comments;
        const std::optional<std::string> failure =
            withFile([&](Logging::SqliteLogFile& file, const FrameReader& reader) -> std::optional<std::string> {
                bookmark.entryId = reader.entryId(frame);
                if (file.addBookmark(bookmark)) {
                    return std::nullopt;
                }
                return file.getLastError();
            });
        if (failure) {
            throw FileFailure(state_->path + ": the bookmark was not added: " + *failure);
        }
        return makeBookmark(bookmark);
    }

    py::dict toNumpy(std::int64_t first, std::optional<std::int64_t> last) const;

    [[nodiscard]] std::shared_ptr<LogState> state() const { return state_; }
    [[nodiscard]] const std::string& path() const { return state_->path; }
    [[nodiscard]] bool writable() const
    {
        return state_->writable &&
               withFile([](const Logging::SqliteLogFile& file, auto&) { return file.writeRefusal().empty(); });
    }

private:
    static py::object makeBookmark(const Logging::Bookmark& bookmark)
    {
        const auto type = py::module_::import("keldar").attr("Bookmark");
        return type(bookmark.entryId, text(bookmark.title), text(bookmark.comments));
    }

    std::shared_ptr<LogState> state_;
};

// A NumPy array over a buffer it owns (allocated without the GIL).
template<typename T>
py::array_t<T> ownedArray(std::vector<T>&& values, std::vector<py::ssize_t> shape)
{
    auto* owned = new std::vector<T>(std::move(values));
    py::capsule free(owned, [](void* pointer) { delete static_cast<std::vector<T>*>(pointer); });
    return py::array_t<T>(shape, owned->data(), free);
}

py::dict Log::toNumpy(std::int64_t first, std::optional<std::int64_t> last) const
{
    if (first < 0) {
        throw py::value_error("first must be 0 or more");
    }
    if (last && *last < first) {
        throw py::value_error("last is before first");
    }
    const auto from = static_cast<std::int32_t>(std::min<std::int64_t>(first, INT32_MAX));
    const auto to = last ? static_cast<std::int32_t>(std::min<std::int64_t>(*last, INT32_MAX)) : -1;

    // The samples go straight into the buffer the array will own, left
    // uninitialised: zeroing a gigabyte first would cost as much as a copy.
    std::unique_ptr<std::uint8_t[]> images;
    std::size_t frameSize = 0;
    Logging::Frames::SampleSink sink;
    sink.prepare = [&](std::size_t capacity, std::uint16_t ranges, std::uint16_t beams) {
        frameSize = std::size_t{ranges} * beams;
        images.reset(new std::uint8_t[std::max<std::size_t>(1, capacity * frameSize)]);
    };
    sink.write = [&](std::size_t index, const LoggedFrame& frame) {
        std::memcpy(images.get() + index * frameSize, frame.image.getData().data(), frameSize);
    };
    std::vector<std::string> damaged;
    auto collection = withFile([&](auto&, const FrameReader& reader) {
        try {
            return Logging::Frames::collectFrameArrays(
                reader, from, to, sink, [&](std::int32_t entryId, const std::string& reason) {
                    damaged.push_back("entry " + std::to_string(entryId) + " " + reason);
                });
        } catch (const Logging::Frames::DamagedFrameError& error) {
            throw py::value_error(error.what());
        }
    });
    if (collection.damaged > 0) {
        throw py::value_error(std::to_string(collection.damaged) +
                              " entries could not be read as sonar images: " + damaged.front());
    }
    auto& arrays = collection.arrays;
    if (arrays.count == 0) {
        throw py::value_error("no sonar images in the frames asked for");
    }
    if (!collection.hasOneShape()) {
        throw py::value_error("the frames do not all have one shape, and one set of arrays holds one shape; "
                              "take each span on its own with first and last:" +
                              collection.describeSpans());
    }
    const auto n = static_cast<py::ssize_t>(arrays.count);
    const py::ssize_t beams = arrays.beams;
    const py::ssize_t ranges = arrays.ranges;
    py::dict result;
    auto* samples = images.release();
    py::capsule freeSamples(samples, [](void* pointer) { delete[] static_cast<std::uint8_t*>(pointer); });
    result["images"] = py::array_t<std::uint8_t>({n, ranges, beams}, samples, freeSamples);
    result["bearings_deg"] = ownedArray(std::move(arrays.bearings), {n, beams});
    result["row_ranges_m"] = ownedArray(std::move(arrays.rowRanges), {n, ranges});
    result["range_m"] = ownedArray(std::move(arrays.range), {n});
    result["gain"] = ownedArray(std::move(arrays.gain), {n});
    result["frequency"] = ownedArray(std::move(arrays.frequency), {n});
    result["timestamps_ms"] = ownedArray(std::move(arrays.timestamps), {n});
    result["pitch"] = ownedArray(std::move(arrays.pitch), {n});
    result["roll"] = ownedArray(std::move(arrays.roll), {n});
    result["entry_ids"] = ownedArray(std::move(arrays.entryIds), {n});
    result["frames"] = ownedArray(std::move(arrays.frames), {n});
    return result;
}

// Walks the frames in batches; damaged entries are skipped with a warning, as
// `ondrix-cli log frames` reports and skips them.
class FrameIterator
{
public:
    explicit FrameIterator(const Log& log)
        : state_(log.state())
        , count_(log.length())
    {
    }

    Frame next()
    {
        while (buffer_.empty()) {
            if (position_ >= count_) {
                throw py::stop_iteration();
            }
            fill();
        }
        LoggedFrame logged = std::move(buffer_.front());
        buffer_.pop_front();
        auto result = makeFrame(logged, false);
        withNavigation(result, state_);
        return result;
    }

private:
    void fill()
    {
        constexpr std::int32_t batch = 32;
        const std::int32_t from = position_;
        const std::int32_t to = std::min(count_ - 1, from + batch - 1);
        std::vector<std::string> problems;
        {
            auto state = state_;
            py::gil_scoped_release release;
            std::lock_guard lock(state->mutex);
            if (!state->file) {
                raiseClosed();
            }
            state->reader->forEach(
                from, to,
                [&](const LoggedFrame& frame) {
                    try {
                        Logging::Frames::checkConsistent(frame);
                        buffer_.push_back(frame);
                    } catch (const Logging::Frames::DamagedFrameError& error) {
                        problems.emplace_back(error.what());
                    }
                },
                [&](std::int32_t entryId, const std::string& reason) {
                    problems.push_back("entry " + std::to_string(entryId) + " " + reason);
                });
        }
        position_ = to + 1;
        const auto warn = py::module_::import("warnings").attr("warn");
        for (const auto& problem : problems) {
            warn(problem + "; skipped", py::handle(PyExc_RuntimeWarning), 2);
        }
    }

    std::shared_ptr<LogState> state_;
    std::int32_t count_;
    std::int32_t position_ = 0;
    std::deque<LoggedFrame> buffer_;
};

} // namespace

void defineLog(py::module_& module)
{
    py::register_exception<Logging::NotALogFileError>(module, "NotALogFileError", PyExc_ValueError).doc() =
        "The file is not a log file (nor one of the older format).";
    py::register_exception<Logging::LegacyLogFileError>(module, "LegacyLogFileError", PyExc_ValueError).doc() =
        "The file is a log of the older format: convert it first (the viewer does so when\n"
        "it opens one).";

    const auto namedtuple = py::module_::import("collections").attr("namedtuple");
    py::object bookmark = namedtuple("Bookmark", py::make_tuple("entry_id", "title", "comments"));
    bookmark.attr("__module__") = "keldar";
    bookmark.attr("__doc__") = "A bookmark of a log: the id of the entry it marks, its title and its comments.";
    module.attr("Bookmark") = bookmark;

    py::class_<FrameIterator>(module, "FrameIterator", "Iterator over the frames of a log.")
        .def("__iter__", [](FrameIterator& iterator) -> FrameIterator& { return iterator; })
        .def("__next__", &FrameIterator::next);

    py::class_<Log>(module, "Log",
                    "An open log file (a recording). Use it as a context manager, or call close():\n"
                    "closing releases the file. Frames are numbered as the viewer's playback numbers\n"
                    "them: the sonar images present when the log was opened, from 0.")
        .def("close", &Log::close, "Release the file. Further use raises ValueError; closing again does nothing.")
        .def_property_readonly("closed", &Log::closed, "True once the log is closed.")
        .def_property_readonly(
            "path", [](const Log& log) { return py::module_::import("os").attr("fsdecode")(py::bytes(log.path())); },
            "The path the log was opened from.")
        .def_property_readonly("writable", &Log::writable,
                               "True when opened with writable=True and a write may be tried: False for a\n"
                               "damaged log, a recording cut off mid-write, or a file or folder that is read-only.")
        .def_property_readonly("damaged", &Log::damaged,
                               "True when the file is damaged (cut short, or pages that do not read); opening\n"
                               "it warned. Its readable entries are still read; `ondrix-cli log recover` copies\n"
                               "them into a new file.")
        .def_property_readonly("entry_counts", &Log::entryCounts,
                               "(readable, listed): the entries that read whole and those the file lists.")
        .def("__enter__", [](Log& log) -> Log& { return log; })
        .def("__exit__", [](Log& log, const py::args&) { log.close(); })
        .def("__len__", &Log::length, "Number of frames (sonar images) in the log.")
        .def("__getitem__", &Log::at, py::arg("index"),
             "The frame at `index` (negative counts from the end) as a Frame. IndexError outside\n"
             "the log; ValueError when the entry is not a readable sonar image.")
        .def(
            "__iter__", [](const Log& log) { return FrameIterator(log); },
            "The frames in order. An entry that is not a readable sonar image is skipped with a\n"
            "RuntimeWarning.")
        .def_property_readonly("metadata", &Log::metadata,
                               "The log's metadata as a dict: createdDateTime, applicationName,\n"
                               "applicationVersion, currentTimeZone, logVersion, compressionLevel and any\n"
                               "others the writer added.")
        .def_property_readonly("sources", &Log::sources,
                               "The data sources, each a dict of id, type (0: a sonar), name and properties\n"
                               "(a dict, such as serialNumber and modelNumber).")
        .def_property_readonly("bookmarks", &Log::bookmarks,
                               "The bookmarks, a list of Bookmark(entry_id, title, comments).")
        .def("add_bookmark", &Log::addBookmark, py::arg("frame"), py::arg("title"), py::arg("comments") = "",
             "Bookmark frame `frame` (negative counts from the end) with a title and comments, as\n"
             "the viewer does; returns the new Bookmark. Needs a log opened with writable=True\n"
             "(io.UnsupportedOperation otherwise); the title must not be blank (ValueError);\n"
             "OSError when the file refuses the write.")
        .def("to_numpy", &Log::toNumpy, py::arg("first") = 0, py::arg("last") = py::none(),
             "Frames first..last (inclusive; last None: the last frame) as a dict of NumPy arrays,\n"
             "the same names, shapes and types as `ondrix-cli log export-frames --format npz`:\n"
             "\n"
             "  images         uint8   (frames, ranges, beams)  row 0 nearest the sonar\n"
             "  bearings_deg   float64 (frames, beams)          0 ahead, positive to the right\n"
             "  row_ranges_m   float64 (frames, ranges)         range of the middle of each row\n"
             "  range_m, gain, frequency  float64 (frames)\n"
             "  timestamps_ms  int64   (frames)                 ms since 1970-01-01 UTC\n"
             "  pitch, roll    float32 (frames)                 NaN where a message has no attitude\n"
             "  entry_ids, frames  int32 (frames)\n"
             "\n"
             "One set of arrays holds one image shape: ValueError when the beam or range count\n"
             "changes within first..last (the message lists the spans of each shape), when an\n"
             "entry there is not a readable sonar image, or when there are no images.")
        .def("__repr__", [](const Log& log) {
            const auto path = py::module_::import("os").attr("fsdecode")(py::bytes(log.path()));
            return std::string("<keldar.Log ") + py::repr(path).cast<std::string>() + (log.closed() ? " closed>" : ">");
        });

    module.def(
        "open_log",
        [](const py::object& path, bool writable) {
            // str, bytes or any os.PathLike, as open() takes.
            const auto text = py::module_::import("os").attr("fsencode")(path).cast<std::string>();
            auto log = std::make_unique<Log>(text, writable);
            if (!log->openingWarning().empty()) {
                const auto warnings = py::module_::import("warnings");
                warnings.attr("warn")(log->openingWarning(), py::module_::import("builtins").attr("RuntimeWarning"), 2);
            }
            return log;
        },
        py::arg("path"), py::kw_only(), py::arg("writable") = false,
        "Open the log file at `path` and return a Log. Opening never writes to the file: a\n"
        "missing, empty or foreign file is refused, not made into a new log. With\n"
        "writable=True, bookmarks can be added.\n"
        "A damaged log opens with a RuntimeWarning (\"the end is damaged: N of M entries\n"
        "readable\") and Log.damaged set.\n"
        "\n"
        "Raises NotALogFileError for a file that is not a log, LegacyLogFileError for a log\n"
        "of the older format, and OSError for a missing or unreadable path.");
}

} // namespace Keldar::Python
