#include "FlatHandles.h"

#include <keldar/core/Chrono.h>
#include <keldar/logging/SqliteLogFile.h>

#include <filesystem>

using Keldar::Logging::Flat::reportError;
using namespace Keldar::Logging;

namespace {

const char* orEmpty(const char* text)
{
    return text != nullptr ? text : "";
}

bool failWithFileError(const KD_LogFile* file, KD_LogError** error)
{
    reportError(error, file->file->getLastError());
    return false;
}

bool requireWritable(const KD_LogFile* file, const char* message, KD_LogError** error)
{
    if (!file->writable) {
        reportError(error, message);
        return false;
    }
    return true;
}

bool reportCount(const KD_LogFile* file, std::int32_t value, std::int32_t* output, KD_LogError** error)
{
    if (value == -1) {
        return failWithFileError(file, error);
    }
    if (output != nullptr) {
        *output = value;
    }
    return true;
}

} // namespace

extern "C" {

KD_LogFile* KD_LogFile_Create(const char* path, const KD_LogConfig* config, KD_LogError** error)
{
    try {
        std::error_code ec;
        if (path == nullptr || config == nullptr) {
            reportError(error, "Invalid arguments.");
            return nullptr;
        }
        if (std::filesystem::exists(path, ec)) {
            reportError(error, "Cannot create file as file already exists.");
            return nullptr;
        }
        auto file = std::make_unique<SqliteLogFile>(std::string(path), config->timeZone, config->applicationName,
                                                    config->applicationVersion, config->compressionLevel,
                                                    Keldar::Chrono::msSinceUnixEpoch());
        return new KD_LogFile{std::move(file), true};
    } catch (const std::exception& exception) {
        reportError(error, exception.what());
    } catch (...) {
        reportError(error, "Unknown internal error");
    }
    return nullptr;
}

KD_LogFile* KD_LogFile_Open(const char* path, KD_LogError** error)
{
    try {
        std::error_code ec;
        if (path == nullptr || !std::filesystem::exists(path, ec)) {
            reportError(error, "Log file does not exist.");
            return nullptr;
        }
        auto file = std::make_unique<SqliteLogFile>(std::filesystem::path(path));
        return new KD_LogFile{std::move(file), false};
    } catch (const std::exception& exception) {
        reportError(error, exception.what());
    } catch (...) {
        reportError(error, "Unknown internal error");
    }
    return nullptr;
}

void KD_LogFile_Destroy(KD_LogFile* file)
{
    delete file;
}

bool KD_LogFile_AddDataSource(KD_LogFile* file, KD_LogDataSource* source, KD_LogError** error)
{
    if (!requireWritable(file, "Data sources cannot be added to pre-existing log files.", error)) {
        return false;
    }
    return file->file->addDataSource(*source) || failWithFileError(file, error);
}

bool KD_LogFile_AddDataSourceProperty(KD_LogFile* file, const KD_LogDataSourceProperty* property, KD_LogError** error)
{
    if (!requireWritable(file, "Data source properties cannot be added to pre-existing log files.", error)) {
        return false;
    }
    return file->file->addDataSourceProperty(*property) || failWithFileError(file, error);
}

bool KD_LogFile_LogData(KD_LogFile* file, const KD_LogDataEntry* entry, KD_LogError** error)
{
    if (!requireWritable(file, "Data cannot be logged into pre-existing log files.", error)) {
        return false;
    }
    return file->file->logData(*entry) || failWithFileError(file, error);
}

bool KD_LogFile_AddMetadata(KD_LogFile* file, const KD_LogMetadata* metadata, KD_LogError** error)
{
    return file->file->addMetadata(*metadata) || failWithFileError(file, error);
}

bool KD_LogFile_AddResource(KD_LogFile* file, const KD_LogResource* resource, KD_LogError** error)
{
    return file->file->addResource(*resource) || failWithFileError(file, error);
}

bool KD_LogFile_AddBookmark(KD_LogFile* file, const KD_LogBookmark* bookmark, KD_LogError** error)
{
    return file->file->addBookmark(*bookmark) || failWithFileError(file, error);
}

bool KD_LogFile_UpdateBookmark(KD_LogFile* file, const KD_LogBookmark* bookmark, KD_LogError** error)
{
    return file->file->updateBookmark(*bookmark) || failWithFileError(file, error);
}

bool KD_LogFile_RemoveBookmark(KD_LogFile* file, const KD_LogBookmark* bookmark, KD_LogError** error)
{
    return file->file->removeBookmark(*bookmark) || failWithFileError(file, error);
}

bool KD_LogFile_GetEntryCount(const KD_LogFile* file, int32_t* count, KD_LogError** error)
{
    return reportCount(file, file->file->getEntryCount(), count, error);
}

bool KD_LogFile_GetFirstEntryId(const KD_LogFile* file, int32_t* entryId, KD_LogError** error)
{
    return reportCount(file, file->file->getFirstEntryId(), entryId, error);
}

bool KD_LogFile_GetLastEntryId(const KD_LogFile* file, int32_t* entryId, KD_LogError** error)
{
    return reportCount(file, file->file->getLastEntryId(), entryId, error);
}

bool KD_LogFile_ReadEntry(const KD_LogFile* file, int32_t entryId, KD_LogDataEntry** entry, KD_LogError** error)
{
    auto read = file->file->readEntry(entryId);
    if (!read) {
        reportError(error, "The requested data entry does not exist.");
        return false;
    }
    if (entry != nullptr) {
        *entry = new DataEntry(std::move(*read));
    }
    return true;
}

bool KD_LogFile_ReadEntries(const KD_LogFile* file, int32_t first, int32_t last, const KD_LogEntryIndexFilter* filter,
                            int32_t limit, KD_LogDataEntryCallback callback, void* context)
{
    const EntryIndexFilter everything;
    for (auto& entry : file->file->readEntries(first, last, filter != nullptr ? *filter : everything, limit)) {
        if (callback != nullptr) {
            callback(context, new DataEntry(std::move(entry)));
        }
    }
    return true;
}

bool KD_LogFile_GetEntryIndex(const KD_LogFile* file, const KD_LogEntryIndexFilter* filter,
                              KD_LogEntryIdCallback callback, void* context, KD_LogError** error)
{
    const EntryIndexFilter everything;
    const auto index = file->file->getEntryIndex(filter != nullptr ? *filter : everything);
    if (index.empty()) {
        return failWithFileError(file, error);
    }
    for (const auto id : index) {
        if (callback != nullptr) {
            callback(context, id);
        }
    }
    return true;
}

bool KD_LogFile_GetDataSources(const KD_LogFile* file, KD_LogDataSourceCallback callback, void* context,
                               KD_LogError** error)
{
    auto sources = file->file->getDataSources();
    if (sources.empty()) {
        return failWithFileError(file, error);
    }
    for (auto& source : sources) {
        if (callback != nullptr) {
            callback(context, new DataSource(std::move(source)));
        }
    }
    return true;
}

bool KD_LogFile_GetAllDataSourceProperties(const KD_LogFile* file, KD_LogDataSourcePropertyCallback callback,
                                           void* context, KD_LogError** error)
{
    auto properties = file->file->getAllDataSourceProperties();
    if (properties.empty()) {
        return failWithFileError(file, error);
    }
    for (auto& property : properties) {
        if (callback != nullptr) {
            callback(context, new DataSourceProperty(std::move(property)));
        }
    }
    return true;
}

bool KD_LogFile_GetDataSourceProperty(const KD_LogFile* file, const KD_LogDataSource* source, const char* key,
                                      KD_LogDataSourceProperty** property, KD_LogError** error)
{
    auto value = file->file->getDataSourceProperty(source->id, orEmpty(key));
    if (!value) {
        reportError(error, "The requested data source property does not exist.");
        return false;
    }
    if (property != nullptr) {
        *property = new DataSourceProperty{source->id, orEmpty(key), std::move(*value)};
    }
    return true;
}

bool KD_LogFile_GetMetadata(const KD_LogFile* file, const char* key, KD_LogMetadata** metadata, KD_LogError** error)
{
    auto value = file->file->getMetadataValue(orEmpty(key));
    if (!value) {
        reportError(error, "The requested metadata does not exist.");
        return false;
    }
    if (metadata != nullptr) {
        *metadata = new LogMetadataEntry{orEmpty(key), std::move(*value)};
    }
    return true;
}

bool KD_LogFile_GetAllMetadata(const KD_LogFile* file, KD_LogMetadataCallback callback, void* context)
{
    for (auto& entry : file->file->getAllMetadata()) {
        if (callback != nullptr) {
            callback(context, new LogMetadataEntry(std::move(entry)));
        }
    }
    return true;
}

bool KD_LogFile_GetResource(const KD_LogFile* file, const char* name, KD_LogResource** resource, KD_LogError** error)
{
    auto data = file->file->getResource(orEmpty(name));
    if (!data) {
        reportError(error, "The requested resource does not exist.");
        return false;
    }
    if (resource != nullptr) {
        *resource = new LogResourceEntry{orEmpty(name), std::move(*data)};
    }
    return true;
}

bool KD_LogFile_GetAllResources(const KD_LogFile* file, KD_LogResourceCallback callback, void* context)
{
    for (auto& resource : file->file->getAllResources()) {
        if (callback != nullptr) {
            callback(context, new LogResourceEntry(std::move(resource)));
        }
    }
    return true;
}

bool KD_LogFile_GetBookmarks(const KD_LogFile* file, KD_LogBookmarkCallback callback, void* context)
{
    for (auto& bookmark : file->file->getBookmarks()) {
        if (callback != nullptr) {
            callback(context, new Bookmark(std::move(bookmark)));
        }
    }
    return true;
}

} // extern "C"
