#include <keldar/core/OutputFile.h>

#include <atomic>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace Keldar::Filesystem {

namespace {

std::filesystem::path temporaryBeside(const std::filesystem::path& finalPath)
{
    // The process id and a counter keep two outputs of one process, and two
    // processes writing into one folder, apart.
    static std::atomic<unsigned> counter{0};
    const auto name = finalPath.stem().string() + ".partial-" + std::to_string(::getpid()) + "-" +
                      std::to_string(counter.fetch_add(1)) + finalPath.extension().string();
    return finalPath.parent_path() / name;
}

// Data before name: the rename must not make visible a file whose blocks are
// still only in the page cache when the machine loses power.
void flushToDisk(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

OutputFile::OutputFile(std::filesystem::path finalPath)
    : final(std::move(finalPath))
    , temporary(temporaryBeside(final))
{
}

OutputFile::~OutputFile()
{
    discard();
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : final(std::move(other.final))
    , temporary(std::move(other.temporary))
    , committed(std::exchange(other.committed, true))
{
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept
{
    if (this != &other) {
        discard();
        final = std::move(other.final);
        temporary = std::move(other.temporary);
        committed = std::exchange(other.committed, true);
    }
    return *this;
}

void OutputFile::commit()
{
    if (committed) {
        return;
    }
    flushToDisk(temporary);
    std::error_code error;
    std::filesystem::rename(temporary, final, error);
    if (error) {
        discard();
        throw std::filesystem::filesystem_error("cannot put the output in place", temporary, final, error);
    }
    committed = true;
    flushToDisk(final.parent_path().empty() ? std::filesystem::path(".") : final.parent_path());
}

bool OutputFile::discard() noexcept
{
    if (committed) {
        return false;
    }
    bool removed = false;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        // The name is ours alone, so whatever a folder of that name holds is
        // the writer's partial output.
        std::error_code error;
        const auto count = std::filesystem::remove_all(temporary.string() + suffix, error);
        removed |= !error && count > 0 && count != static_cast<std::uintmax_t>(-1);
    }
    return removed;
}

} // namespace Keldar::Filesystem
