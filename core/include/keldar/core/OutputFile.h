#pragma once

#include <filesystem>

namespace Keldar::Filesystem {

/// A file that appears under its final name only when it is complete.
///
/// Writers write to temporaryPath(): a name in the final folder (so that the
/// rename is atomic and never crosses a file system) that keeps the final
/// extension (writers choose their container by it), "<stem>.partial-<pid>-<n><ext>".
/// commit() renames it into place. Until then nothing exists under the final
/// name; destroyed or discarded uncommitted (a failure, a cancel, an
/// interruption), the temporary and any SQLite journal beside it are removed.
/// The temporary may also be a folder the writer fills (a picture series):
/// it is then removed with everything in it, and committed over an empty
/// folder of the final name.
class OutputFile
{
public:
    explicit OutputFile(std::filesystem::path finalPath);
    ~OutputFile();
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    [[nodiscard]] const std::filesystem::path& finalPath() const { return final; }
    [[nodiscard]] const std::filesystem::path& temporaryPath() const { return temporary; }
    [[nodiscard]] bool isCommitted() const { return committed; }

    /// Flushes the temporary to disk and renames it over the final name.
    /// Throws std::filesystem::filesystem_error when the temporary is missing
    /// or cannot be renamed; the temporary is then removed.
    void commit();
    /// Removes the temporary (a folder with its contents) and its SQLite side
    /// files (-journal, -wal, -shm). True when anything was there to remove.
    /// Does nothing once committed.
    bool discard() noexcept;

private:
    std::filesystem::path final;
    std::filesystem::path temporary;
    bool committed = false;
};

} // namespace Keldar::Filesystem
