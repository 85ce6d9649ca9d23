// ondrix-cli log export-frames: the raw polar images of a log, with their
// bearings, row ranges, times and attitude, as NumPy arrays (.npz) or as PNG
// pictures with a CSV, for analysts.

#include "Commands.h"
#include "Interruption.h"
#include "LogFiles.h"

#include <keldar/core/OutputFile.h>
#include <keldar/logging/frames/FrameArrays.h>

#include <png.h>
#include <zip.h>

#include <cmath>
#include <cstdio>
#include <deque>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <sstream>

namespace {

using Keldar::Cli::LoggedFrame;
using Keldar::Filesystem::OutputFile;

struct ExportOptions
{
    std::string file;
    std::string format;
    std::int32_t from = 0;
    std::int32_t to = -1;
    std::string out;
};

// The image's own counts must describe its samples and bearings; a message
// that says otherwise is not exported as if it were whole.
void requireConsistent(const LoggedFrame& frame)
{
    try {
        Keldar::Logging::Frames::checkConsistent(frame);
    } catch (const Keldar::Logging::Frames::DamagedFrameError& error) {
        Keldar::Cli::fail(error.what(), 5);
    }
}

// ---- .npz ------------------------------------------------------------------

// A .npy header of exactly `size` bytes (so that it can be written before the
// row count is known and rewritten after).
std::string npyHeader(const std::string& descr, const std::vector<std::size_t>& shape, std::size_t size = 0)
{
    std::string dict = "{'descr': '" + descr + "', 'fortran_order': False, 'shape': (";
    for (const std::size_t n : shape) {
        dict += std::to_string(n) + ", "; // "(5, )" and "(5, 4, )" are tuples too
    }
    dict += "), }";
    const std::size_t fixed = 10;
    const std::size_t total = size != 0 ? size : (fixed + dict.size() + 1 + 63) / 64 * 64;
    dict.append(total - fixed - dict.size() - 1, ' ');
    dict += '\n';
    std::string header("\x93NUMPY\x01\x00", 8);
    header += static_cast<char>(dict.size() & 0xFF);
    header += static_cast<char>(dict.size() >> 8);
    return header + dict;
}

template<typename T>
std::string npyDescr()
{
    if constexpr (std::is_same_v<T, std::uint8_t>) {
        return "|u1";
    } else if constexpr (std::is_same_v<T, std::int32_t>) {
        return "<i4";
    } else if constexpr (std::is_same_v<T, std::int64_t>) {
        return "<i8";
    } else if constexpr (std::is_same_v<T, float>) {
        return "<f4";
    } else {
        static_assert(std::is_same_v<T, double>);
        return "<f8";
    }
}

class NpzWriter
{
public:
    NpzWriter(const std::string& path)
        : path_(path)
    {
        int error = 0;
        archive_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_EXCL, &error);
        if (archive_ == nullptr) {
            zip_error_t detail;
            zip_error_init_with_code(&detail, error);
            const std::string message = zip_error_strerror(&detail);
            zip_error_fini(&detail);
            Keldar::Cli::fail("cannot create " + path + ": " + message, 4);
        }
        // Writing a large archive takes a while: an interruption stops it.
        zip_register_cancel_callback_with_state(
            archive_, [](zip_t*, void*) { return Keldar::Cli::interrupted() ? 1 : 0; }, nullptr, nullptr);
    }
    ~NpzWriter()
    {
        if (archive_ != nullptr) {
            zip_discard(archive_);
        }
    }
    NpzWriter(const NpzWriter&) = delete;
    NpzWriter& operator=(const NpzWriter&) = delete;

    // Little-endian hosts only, as the .npy descriptions say.
    template<typename T>
    void add(const std::string& name, const std::vector<T>& values, const std::vector<std::size_t>& shape)
    {
        auto& bytes = buffers_.emplace_back(npyHeader(npyDescr<T>(), shape));
        bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
        addSource(name, zip_source_buffer(archive_, bytes.data(), bytes.size(), 0));
    }

    void addFile(const std::string& name, const std::string& file)
    {
        addSource(name, zip_source_file(archive_, file.c_str(), 0, -1));
    }

    // Writes the archive and reads its directory back.
    void close()
    {
        const auto added = zip_get_num_entries(archive_, 0);
        if (zip_close(archive_) != 0) {
            Keldar::Cli::throwIfInterrupted();
            const std::string message = zip_strerror(archive_);
            Keldar::Cli::fail("cannot write " + path_ + ": " + message, 4);
        }
        archive_ = nullptr;
        int error = 0;
        zip_t* back = zip_open(path_.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
        const bool whole = back != nullptr && zip_get_num_entries(back, 0) == added;
        if (back != nullptr) {
            zip_discard(back);
        }
        if (!whole) {
            Keldar::Cli::fail("cannot write " + path_ + ": it does not read back whole", 4);
        }
    }

private:
    void addSource(const std::string& name, zip_source_t* source)
    {
        const zip_int64_t index =
            source == nullptr ? -1 : zip_file_add(archive_, (name + ".npy").c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            if (source != nullptr) {
                zip_source_free(source);
            }
            Keldar::Cli::fail("cannot add " + name + " to " + path_ + ": " + zip_strerror(archive_), 4);
        }
        // Stored, as numpy.savez does: fast, and the arrays can be mapped.
        zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }

    std::string path_;
    zip_t* archive_ = nullptr;
    std::deque<std::string> buffers_; // kept until the archive is written
};

// The archive is written as `output`'s temporary; the images go to the
// scratch file `images` first (a long span need not fit in memory), which is
// never committed.
std::size_t exportNpz(const Keldar::Logging::LogFileInterface& file, const ExportOptions& options, OutputFile& output,
                      OutputFile& images)
{
    std::error_code error;
    if (std::filesystem::exists(options.out, error)) {
        Keldar::Cli::fail(options.out + " exists; it is not overwritten", 4);
    }
    std::ofstream stream(images.temporaryPath(), std::ios::binary | std::ios::trunc);
    constexpr std::size_t headerSize = 128;
    stream << npyHeader("|u1", {0, 0, 0}, headerSize);
    Keldar::Logging::Frames::SampleSink sink;
    sink.write = [&stream](std::size_t, const LoggedFrame& frame) {
        Keldar::Cli::throwIfInterrupted();
        const auto& data = frame.image.getData();
        stream.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    };
    Keldar::Logging::Frames::FrameCollection collection;
    try {
        collection = Keldar::Logging::Frames::collectFrameArrays(
            Keldar::Logging::Frames::FrameReader(file), options.from, options.to, sink, Keldar::Cli::reportDamaged);
    } catch (const Keldar::Logging::Frames::DamagedFrameError& failure) {
        Keldar::Cli::fail(failure.what(), 5);
    } catch (const Keldar::Logging::Frames::FrameReadError& failure) {
        Keldar::Cli::fail(failure.what(), 5);
    }
    if (collection.damaged > 0) {
        Keldar::Cli::fail(
            std::to_string(collection.damaged) + " entries could not be read as sonar images; nothing written", 5);
    }
    auto& arrays = collection.arrays;
    if (arrays.count == 0) {
        Keldar::Cli::fail("no sonar images in the frames asked for; nothing written", 5);
    }
    if (!collection.hasOneShape()) {
        Keldar::Cli::fail("the frames do not all have one shape, and one .npz holds one shape; export each span "
                          "on its own with --from and --to:" +
                              collection.describeSpans(),
                          6);
    }
    const std::size_t n = arrays.count;
    const std::size_t beams = arrays.beams;
    const std::size_t ranges = arrays.ranges;
    stream.seekp(0);
    stream << npyHeader("|u1", {n, ranges, beams}, headerSize);
    stream.close();
    if (!stream) {
        Keldar::Cli::fail("cannot write " + images.temporaryPath().string(), 4);
    }

    NpzWriter npz(output.temporaryPath());
    npz.addFile("images", images.temporaryPath());
    npz.add("bearings_deg", arrays.bearings, {n, beams});
    npz.add("row_ranges_m", arrays.rowRanges, {n, ranges});
    npz.add("range_m", arrays.range, {n});
    npz.add("gain", arrays.gain, {n});
    npz.add("frequency", arrays.frequency, {n});
    npz.add("timestamps_ms", arrays.timestamps, {n});
    npz.add("pitch", arrays.pitch, {n});
    npz.add("roll", arrays.roll, {n});
    npz.add("entry_ids", arrays.entryIds, {n});
    npz.add("frames", arrays.frames, {n});
    npz.close();
    Keldar::Cli::throwIfInterrupted();
    output.commit();
    return n;
}

// ---- PNG + CSV ---------------------------------------------------------------

// libpng reports its errors by longjmp: nothing here has a destructor or
// is used after the jump.
bool writePngImage(png_structp png, png_infop info, std::FILE* out, const Keldar::Ondrix::OndrixImage& image)
{
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, image.getWidth(), image.getHeight(), 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::size_t y = 0; y < image.getHeight(); ++y) {
        png_write_row(png, image.getData().data() + y * image.getWidth());
    }
    png_write_end(png, nullptr);
    return true;
}

void writePng(const std::filesystem::path& path, const LoggedFrame& frame)
{
    std::unique_ptr<std::FILE, decltype(&std::fclose)> out(std::fopen(path.c_str(), "wbx"), &std::fclose);
    if (!out) {
        Keldar::Cli::fail("cannot create " + path.string(), 4);
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    const bool ok = info != nullptr && writePngImage(png, info, out.get(), frame.image);
    png_destroy_write_struct(&png, &info);
    if (!ok || std::fflush(out.get()) != 0) {
        Keldar::Cli::fail("cannot write " + path.string(), 4);
    }
}

std::string csvNumber(double value)
{
    if (std::isnan(value)) {
        return "";
    }
    std::ostringstream text;
    text.precision(10);
    text << value;
    return text.str();
}

// The pictures fill `output`'s temporary folder, which takes the place of
// OUT (missing or empty) once complete.
std::size_t exportPng(const Keldar::Logging::LogFileInterface& file, const ExportOptions& options, OutputFile& output)
{
    const std::filesystem::path& folder = output.temporaryPath();
    std::error_code error;
    if (std::filesystem::exists(options.out, error) && !std::filesystem::is_empty(options.out, error)) {
        Keldar::Cli::fail(options.out + " exists and is not empty; nothing in it is overwritten", 4);
    }
    if (const auto parent = folder.parent_path(); !parent.empty()) {
        std::filesystem::create_directories(parent, error);
    }
    if (!error) {
        std::filesystem::create_directory(folder, error);
    }
    if (error) {
        Keldar::Cli::fail("cannot create the folder " + options.out + ": " + error.message(), 4);
    }
    std::ofstream csv(folder / "frames.csv");
    csv << "file,frame,entry_id,timestamp_ms,range_m,gain,frequency,beams,ranges,pitch,roll,bearings_deg,"
           "row_ranges_m\n";
    std::size_t written = 0;
    const int damaged = Keldar::Cli::forEachFrame(file, options.from, options.to, [&](const LoggedFrame& frame) {
        Keldar::Cli::throwIfInterrupted();
        requireConsistent(frame);
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06d.png", frame.frame);
        writePng(folder / name, frame);
        const auto& image = frame.image;
        constexpr double missing = std::numeric_limits<double>::quiet_NaN();
        csv << name << "," << frame.frame << "," << frame.entryId << "," << frame.timestamp << ","
            << csvNumber(image.getRange()) << "," << csvNumber(image.getGain()) << ","
            << csvNumber(image.getFrequency()) << "," << image.getWidth() << "," << image.getHeight() << ","
            << csvNumber(frame.attitude ? frame.attitude->pitch : missing) << ","
            << csvNumber(frame.attitude ? frame.attitude->roll : missing) << ",";
        // Lists are space separated within their field.
        const auto bearings = Keldar::Logging::Frames::bearingsInDegrees(image);
        for (std::size_t i = 0; i < bearings.size(); ++i) {
            csv << (i == 0 ? "" : " ") << csvNumber(bearings[i]);
        }
        csv << ",";
        const auto rows = Keldar::Logging::Frames::rowRanges(image);
        for (std::size_t row = 0; row < rows.size(); ++row) {
            csv << (row == 0 ? "" : " ") << csvNumber(rows[row]);
        }
        csv << "\n";
        ++written;
    });
    csv.close();
    if (!csv) {
        Keldar::Cli::fail("cannot write " + (folder / "frames.csv").string(), 4);
    }
    Keldar::Cli::throwIfInterrupted();
    output.commit();
    // The pictures that could be read are kept; the command still fails.
    if (damaged > 0) {
        Keldar::Cli::fail(std::to_string(damaged) + " entries could not be read as sonar images and were left out", 5);
    }
    return written;
}

void addExportFrames(CLI::App& log)
{
    auto options = std::make_shared<ExportOptions>();
    auto* command = log.add_subcommand(
        "export-frames",
        "Export the raw polar images of frames FROM..TO for analysis: samples as the sonar sent them (one byte\n"
        "each, 4-bit samples widened as the display does), bearings, row ranges, times, attitude, entry ids");
    command->add_option("FILE", options->file, "Log file")->required();
    command->add_option("--format", options->format, "npz or png")->required()->check(CLI::IsMember({"npz", "png"}));
    command->add_option("--from", options->from, "First frame (the numbers of `log frames`, from 0)")
        ->check(CLI::NonNegativeNumber);
    command->add_option("--to", options->to, "Last frame, inclusive (default: the last)")
        ->check(CLI::NonNegativeNumber);
    command->add_option("OUT", options->out, "npz: the .npz file to create; png: the folder to fill")->required();
    command->footer(
        "npz: a NumPy archive (numpy.load reads it) of\n"
        "  images         uint8   (frames, ranges, beams)  row 0 nearest the sonar, beams left to right\n"
        "  bearings_deg   float64 (frames, beams)          0 ahead, positive to the right\n"
        "  row_ranges_m   float64 (frames, ranges)         range of the middle of each sample row\n"
        "  range_m, gain, frequency  float64 (frames)      as the sonar reported them\n"
        "  timestamps_ms  int64   (frames)                 ms since 1970-01-01 UTC\n"
        "  pitch, roll    float32 (frames)                 NaN where the message carries no attitude\n"
        "  entry_ids, frames  int32 (frames)\n"
        "One archive holds one image shape: when the beam or range count changes within FROM..TO nothing is\n"
        "written and the spans of each shape are listed, to be exported one by one.\n"
        "png: one 8-bit grayscale frame_NNNNNN.png per frame (width beams, height ranges, row 0 nearest the\n"
        "sonar) and frames.csv with the same facts, lists space separated; shapes may differ.\n"
        "An existing OUT (for png: a folder that is not empty) is never overwritten.");
    command->callback([options] {
        if (options->to >= 0 && options->to < options->from) {
            Keldar::Cli::fail("--to is before --from", 1);
        }
        const auto file = Keldar::Cli::openLog(options->file);
        const Keldar::Cli::InterruptionScope interruption;
        // "frames/" names the folder "frames", not a file inside it.
        std::filesystem::path out(options->out);
        if (!out.has_filename()) {
            out = out.parent_path();
        }
        OutputFile output(out);
        OutputFile images(out.string() + ".images");
        std::size_t written = 0;
        try {
            written = options->format == "npz" ? exportNpz(*file, *options, output, images)
                                               : exportPng(*file, *options, output);
        } catch (const Keldar::Cli::Interrupted&) {
            std::vector<std::filesystem::path> removed;
            for (OutputFile* partial : {&output, &images}) {
                if (partial->discard()) {
                    removed.push_back(partial->temporaryPath());
                }
            }
            Keldar::Cli::exitInterrupted(removed);
        }
        std::cout << written << " frames written to " << options->out << "\n";
    });
}

} // namespace

KELDAR_CLI_SUBCOMMAND(log, exportFrames, addExportFrames)
