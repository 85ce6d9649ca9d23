#pragma once

// C-linkage interface of the log library: opaque handles, every object handed
// out belongs to the caller and is released with its family's Destroy function
// (Destroy of a null handle does nothing). Texts and byte ranges returned by
// getters point into the object and stay valid until it is changed or destroyed.

#include <keldar/logging/LogDataSourceType.h>

#ifdef __cplusplus
#include <cstddef>
#include <cstdint>
namespace Keldar::Logging {
struct Bookmark;
struct DataEntry;
struct DataSource;
struct DataSourceProperty;
struct EntryIndexFilter;
} // namespace Keldar::Logging
struct LogMetadataEntry;
struct LogResourceEntry;
typedef Keldar::Logging::Bookmark KD_LogBookmark;
typedef Keldar::Logging::DataEntry KD_LogDataEntry;
typedef Keldar::Logging::DataSource KD_LogDataSource;
typedef Keldar::Logging::DataSourceProperty KD_LogDataSourceProperty;
typedef Keldar::Logging::EntryIndexFilter KD_LogEntryIndexFilter;
typedef LogMetadataEntry KD_LogMetadata;
typedef LogResourceEntry KD_LogResource;
#else
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
typedef struct KD_LogBookmark KD_LogBookmark;
typedef struct KD_LogDataEntry KD_LogDataEntry;
typedef struct KD_LogDataSource KD_LogDataSource;
typedef struct KD_LogDataSourceProperty KD_LogDataSourceProperty;
typedef struct KD_LogEntryIndexFilter KD_LogEntryIndexFilter;
typedef struct KD_LogMetadata KD_LogMetadata;
typedef struct KD_LogResource KD_LogResource;
#endif

typedef struct KD_LogFile KD_LogFile;
typedef struct KD_LogConfig KD_LogConfig;
typedef struct KD_LogError KD_LogError;

#if defined(_WIN32)
#define KD_LOGGING_EXPORT __declspec(dllexport)
#else
#define KD_LOGGING_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Collections: the callback receives each item in order and owns it.
typedef void (*KD_LogBookmarkCallback)(void* context, KD_LogBookmark* bookmark);
typedef void (*KD_LogDataEntryCallback)(void* context, KD_LogDataEntry* entry);
typedef void (*KD_LogDataSourceCallback)(void* context, KD_LogDataSource* source);
typedef void (*KD_LogDataSourcePropertyCallback)(void* context, KD_LogDataSourceProperty* property);
typedef void (*KD_LogMetadataCallback)(void* context, KD_LogMetadata* metadata);
typedef void (*KD_LogResourceCallback)(void* context, KD_LogResource* resource);
typedef void (*KD_LogEntryIdCallback)(void* context, int32_t entryId);

// LogFile
KD_LOGGING_EXPORT KD_LogFile* KD_LogFile_Create(const char* path, const KD_LogConfig* config, KD_LogError** error);
KD_LOGGING_EXPORT KD_LogFile* KD_LogFile_Open(const char* path, KD_LogError** error);
KD_LOGGING_EXPORT void KD_LogFile_Destroy(KD_LogFile* file);
KD_LOGGING_EXPORT bool KD_LogFile_AddDataSource(KD_LogFile* file, KD_LogDataSource* source, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_AddDataSourceProperty(KD_LogFile* file, const KD_LogDataSourceProperty* property,
                                                        KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_LogData(KD_LogFile* file, const KD_LogDataEntry* entry, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_AddMetadata(KD_LogFile* file, const KD_LogMetadata* metadata, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_AddResource(KD_LogFile* file, const KD_LogResource* resource, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_AddBookmark(KD_LogFile* file, const KD_LogBookmark* bookmark, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_UpdateBookmark(KD_LogFile* file, const KD_LogBookmark* bookmark, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_RemoveBookmark(KD_LogFile* file, const KD_LogBookmark* bookmark, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_GetEntryCount(const KD_LogFile* file, int32_t* count, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_GetFirstEntryId(const KD_LogFile* file, int32_t* entryId, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_GetLastEntryId(const KD_LogFile* file, int32_t* entryId, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_ReadEntry(const KD_LogFile* file, int32_t entryId, KD_LogDataEntry** entry,
                                            KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_ReadEntries(const KD_LogFile* file, int32_t first, int32_t last,
                                              const KD_LogEntryIndexFilter* filter, int32_t limit,
                                              KD_LogDataEntryCallback callback, void* context);
KD_LOGGING_EXPORT bool KD_LogFile_GetEntryIndex(const KD_LogFile* file, const KD_LogEntryIndexFilter* filter,
                                                KD_LogEntryIdCallback callback, void* context, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_GetDataSources(const KD_LogFile* file, KD_LogDataSourceCallback callback,
                                                 void* context, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_GetAllDataSourceProperties(const KD_LogFile* file,
                                                             KD_LogDataSourcePropertyCallback callback, void* context,
                                                             KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_GetDataSourceProperty(const KD_LogFile* file, const KD_LogDataSource* source,
                                                        const char* key, KD_LogDataSourceProperty** property,
                                                        KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_GetMetadata(const KD_LogFile* file, const char* key, KD_LogMetadata** metadata,
                                              KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_GetAllMetadata(const KD_LogFile* file, KD_LogMetadataCallback callback,
                                                 void* context);
KD_LOGGING_EXPORT bool KD_LogFile_GetResource(const KD_LogFile* file, const char* name, KD_LogResource** resource,
                                              KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogFile_GetAllResources(const KD_LogFile* file, KD_LogResourceCallback callback,
                                                  void* context);
KD_LOGGING_EXPORT bool KD_LogFile_GetBookmarks(const KD_LogFile* file, KD_LogBookmarkCallback callback, void* context);

// LogConfig
KD_LOGGING_EXPORT KD_LogConfig* KD_LogConfig_Create(const char* applicationName, const char* applicationVersion,
                                                    const char* timeZone);
KD_LOGGING_EXPORT void KD_LogConfig_Destroy(KD_LogConfig* config);
KD_LOGGING_EXPORT bool KD_LogConfig_GetCompressionLevel(const KD_LogConfig* config, int8_t* level);
KD_LOGGING_EXPORT bool KD_LogConfig_GetTimeZone(const KD_LogConfig* config, const char** timeZone);
KD_LOGGING_EXPORT bool KD_LogConfig_SetCompressionLevel(KD_LogConfig* config, int8_t level, KD_LogError** error);
KD_LOGGING_EXPORT bool KD_LogConfig_SetTimeZone(KD_LogConfig* config, const char* timeZone);

// LogBookmark
KD_LOGGING_EXPORT KD_LogBookmark* KD_LogBookmark_Create(int32_t entryId, const char* title, const char* comment,
                                                        const uint8_t* payload, size_t payloadSize);
KD_LOGGING_EXPORT void KD_LogBookmark_Destroy(KD_LogBookmark* bookmark);
KD_LOGGING_EXPORT bool KD_LogBookmark_GetEntryId(const KD_LogBookmark* bookmark, int32_t* entryId);
KD_LOGGING_EXPORT bool KD_LogBookmark_GetTitle(const KD_LogBookmark* bookmark, const char** title);
KD_LOGGING_EXPORT bool KD_LogBookmark_GetComment(const KD_LogBookmark* bookmark, const char** comment);
KD_LOGGING_EXPORT bool KD_LogBookmark_GetPayload(const KD_LogBookmark* bookmark, size_t* size, const uint8_t** data);
KD_LOGGING_EXPORT bool KD_LogBookmark_SetTitle(KD_LogBookmark* bookmark, const char* title);
KD_LOGGING_EXPORT bool KD_LogBookmark_SetComment(KD_LogBookmark* bookmark, const char* comment);
KD_LOGGING_EXPORT bool KD_LogBookmark_SetPayload(KD_LogBookmark* bookmark, const uint8_t* data, size_t size);

// LogDataEntry
KD_LOGGING_EXPORT KD_LogDataEntry* KD_LogDataEntry_Create(const KD_LogDataSource* source, uint32_t type,
                                                          const uint8_t* data, size_t size);
KD_LOGGING_EXPORT void KD_LogDataEntry_Destroy(KD_LogDataEntry* entry);
KD_LOGGING_EXPORT bool KD_LogDataEntry_GetData(const KD_LogDataEntry* entry, size_t* size, const uint8_t** data);
KD_LOGGING_EXPORT bool KD_LogDataEntry_GetDataSourceId(const KD_LogDataEntry* entry, int8_t* dataSourceId);
KD_LOGGING_EXPORT bool KD_LogDataEntry_GetTimestamp(const KD_LogDataEntry* entry, int64_t* timestamp);
KD_LOGGING_EXPORT bool KD_LogDataEntry_GetType(const KD_LogDataEntry* entry, uint32_t* type);
KD_LOGGING_EXPORT bool KD_LogDataEntry_SetTimestamp(KD_LogDataEntry* entry, int64_t timestamp);

// LogDataSource
KD_LOGGING_EXPORT KD_LogDataSource* KD_LogDataSource_Create(KD_LogDataSourceType type, const char* name);
KD_LOGGING_EXPORT void KD_LogDataSource_Destroy(KD_LogDataSource* source);
KD_LOGGING_EXPORT bool KD_LogDataSource_GetId(const KD_LogDataSource* source, int8_t* id);
KD_LOGGING_EXPORT bool KD_LogDataSource_GetName(const KD_LogDataSource* source, const char** name);
KD_LOGGING_EXPORT bool KD_LogDataSource_GetType(const KD_LogDataSource* source, KD_LogDataSourceType* type);

// LogDataSourceProperty
KD_LOGGING_EXPORT KD_LogDataSourceProperty* KD_LogDataSourceProperty_CreateInt32(const KD_LogDataSource* source,
                                                                                 const char* key, int32_t value);
KD_LOGGING_EXPORT KD_LogDataSourceProperty* KD_LogDataSourceProperty_CreateInt64(const KD_LogDataSource* source,
                                                                                 const char* key, int64_t value);
KD_LOGGING_EXPORT KD_LogDataSourceProperty* KD_LogDataSourceProperty_CreateDouble(const KD_LogDataSource* source,
                                                                                  const char* key, double value);
KD_LOGGING_EXPORT KD_LogDataSourceProperty* KD_LogDataSourceProperty_CreateString(const KD_LogDataSource* source,
                                                                                  const char* key, const char* value);
KD_LOGGING_EXPORT void KD_LogDataSourceProperty_Destroy(KD_LogDataSourceProperty* property);
KD_LOGGING_EXPORT bool KD_LogDataSourceProperty_GetDataSourceId(const KD_LogDataSourceProperty* property,
                                                                int8_t* dataSourceId);
KD_LOGGING_EXPORT bool KD_LogDataSourceProperty_GetPropertyName(const KD_LogDataSourceProperty* property,
                                                                const char** name);
KD_LOGGING_EXPORT bool KD_LogDataSourceProperty_GetInt32(const KD_LogDataSourceProperty* property, int32_t* value);
KD_LOGGING_EXPORT bool KD_LogDataSourceProperty_GetInt64(const KD_LogDataSourceProperty* property, int64_t* value);
KD_LOGGING_EXPORT bool KD_LogDataSourceProperty_GetDouble(const KD_LogDataSourceProperty* property, double* value);
KD_LOGGING_EXPORT bool KD_LogDataSourceProperty_GetString(const KD_LogDataSourceProperty* property, const char** value);

// LogEntryIndexFilter
KD_LOGGING_EXPORT KD_LogEntryIndexFilter* KD_LogEntryIndexFilter_Create(void);
KD_LOGGING_EXPORT void KD_LogEntryIndexFilter_Destroy(KD_LogEntryIndexFilter* filter);
KD_LOGGING_EXPORT bool KD_LogEntryIndexFilter_AddDataType(KD_LogEntryIndexFilter* filter, uint32_t type);
KD_LOGGING_EXPORT bool KD_LogEntryIndexFilter_AddDataSource(KD_LogEntryIndexFilter* filter, int8_t dataSourceId);
KD_LOGGING_EXPORT bool KD_LogEntryIndexFilter_AddDataSourceType(KD_LogEntryIndexFilter* filter,
                                                                KD_LogDataSourceType type);

// LogMetadata
KD_LOGGING_EXPORT KD_LogMetadata* KD_LogMetadata_CreateInt32(const char* key, int32_t value);
KD_LOGGING_EXPORT KD_LogMetadata* KD_LogMetadata_CreateInt64(const char* key, int64_t value);
KD_LOGGING_EXPORT KD_LogMetadata* KD_LogMetadata_CreateDouble(const char* key, double value);
KD_LOGGING_EXPORT KD_LogMetadata* KD_LogMetadata_CreateString(const char* key, const char* value);
KD_LOGGING_EXPORT void KD_LogMetadata_Destroy(KD_LogMetadata* metadata);
KD_LOGGING_EXPORT bool KD_LogMetadata_GetKey(const KD_LogMetadata* metadata, const char** key);
KD_LOGGING_EXPORT bool KD_LogMetadata_GetInt32(const KD_LogMetadata* metadata, int32_t* value);
KD_LOGGING_EXPORT bool KD_LogMetadata_GetInt64(const KD_LogMetadata* metadata, int64_t* value);
KD_LOGGING_EXPORT bool KD_LogMetadata_GetDouble(const KD_LogMetadata* metadata, double* value);
KD_LOGGING_EXPORT bool KD_LogMetadata_GetString(const KD_LogMetadata* metadata, const char** value);

// LogResource
KD_LOGGING_EXPORT KD_LogResource* KD_LogResource_Create(const char* name, const uint8_t* data, size_t size);
KD_LOGGING_EXPORT void KD_LogResource_Destroy(KD_LogResource* resource);
KD_LOGGING_EXPORT bool KD_LogResource_GetName(const KD_LogResource* resource, const char** name);
KD_LOGGING_EXPORT bool KD_LogResource_GetData(const KD_LogResource* resource, size_t* size, const uint8_t** data);

// LogError
KD_LOGGING_EXPORT bool KD_LogError_GetErrorMessage(const KD_LogError* error, const char** message);
KD_LOGGING_EXPORT void KD_LogError_Destroy(KD_LogError* error);

// LogAlgorithms
KD_LOGGING_EXPORT KD_LogFile* KD_LogAlgorithms_Clone(const KD_LogFile* source, const char* path,
                                                     const KD_LogConfig* config, KD_LogError** error);
KD_LOGGING_EXPORT KD_LogFile* KD_LogAlgorithms_Slice(const KD_LogFile* source, int32_t first, int32_t last,
                                                     const char* path, const KD_LogConfig* config, KD_LogError** error);
// As above, and tell what the copy met: *skippedEntries (when not null)
// receives the number of source entries that could not be read and were left
// out; a failure's message names its cause after the usual text, as in
// "Failed to slice log file: Filesystem full.".
KD_LOGGING_EXPORT KD_LogFile* KD_LogAlgorithms_CloneWithReport(const KD_LogFile* source, const char* path,
                                                               const KD_LogConfig* config, int32_t* skippedEntries,
                                                               KD_LogError** error);
KD_LOGGING_EXPORT KD_LogFile* KD_LogAlgorithms_SliceWithReport(const KD_LogFile* source, int32_t first, int32_t last,
                                                               const char* path, const KD_LogConfig* config,
                                                               int32_t* skippedEntries, KD_LogError** error);

#ifdef __cplusplus
}
#endif
