#include "FlatHandles.h"

#include <keldar/core/Chrono.h>

#include <cstring>

using Keldar::Logging::Flat::reportError;
using namespace Keldar::Logging;

namespace {

const char* orEmpty(const char* text)
{
    return text != nullptr ? text : "";
}

std::vector<std::uint8_t> copyBytes(const uint8_t* data, size_t size)
{
    if (data == nullptr || size == 0) {
        return {};
    }
    return std::vector<std::uint8_t>(data, data + size);
}

bool exposeBytes(const std::vector<std::uint8_t>& bytes, size_t* size, const uint8_t** data)
{
    if (size != nullptr) {
        *size = bytes.size();
    }
    if (data != nullptr) {
        *data = bytes.data();
    }
    return true;
}

bool exposeText(const std::string& text, const char** output)
{
    if (output != nullptr) {
        *output = text.c_str();
    }
    return true;
}

// Writes the value only when the variant holds exactly that alternative.
template<typename T, typename Output>
bool getAlternative(const PropertyValue& value, Output* output)
{
    const auto* held = std::get_if<T>(&value);
    if (held == nullptr) {
        return false;
    }
    if (output != nullptr) {
        if constexpr (std::is_same_v<T, std::string>) {
            *output = held->c_str();
        } else {
            *output = *held;
        }
    }
    return true;
}

} // namespace

extern "C" {

// LogConfig

KD_LogConfig* KD_LogConfig_Create(const char* applicationName, const char* applicationVersion, const char* timeZone)
{
    return new KD_LogConfig{orEmpty(applicationName), orEmpty(applicationVersion), orEmpty(timeZone), -1};
}

void KD_LogConfig_Destroy(KD_LogConfig* config)
{
    delete config;
}

bool KD_LogConfig_GetCompressionLevel(const KD_LogConfig* config, int8_t* level)
{
    if (level != nullptr) {
        *level = config->compressionLevel;
    }
    return true;
}

bool KD_LogConfig_GetTimeZone(const KD_LogConfig* config, const char** timeZone)
{
    return exposeText(config->timeZone, timeZone);
}

bool KD_LogConfig_SetCompressionLevel(KD_LogConfig* config, int8_t level, KD_LogError** error)
{
    if (level < -1 || level > 9) {
        reportError(error, "Invalid compression level, value must be in the range [0,9].");
        return false;
    }
    config->compressionLevel = level;
    return true;
}

bool KD_LogConfig_SetTimeZone(KD_LogConfig* config, const char* timeZone)
{
    config->timeZone = orEmpty(timeZone);
    return true;
}

// LogBookmark

KD_LogBookmark* KD_LogBookmark_Create(int32_t entryId, const char* title, const char* comment, const uint8_t* payload,
                                      size_t payloadSize)
{
    return new Bookmark{entryId, orEmpty(title), orEmpty(comment), copyBytes(payload, payloadSize)};
}

void KD_LogBookmark_Destroy(KD_LogBookmark* bookmark)
{
    delete bookmark;
}

bool KD_LogBookmark_GetEntryId(const KD_LogBookmark* bookmark, int32_t* entryId)
{
    if (entryId != nullptr) {
        *entryId = bookmark->entryId;
    }
    return true;
}

bool KD_LogBookmark_GetTitle(const KD_LogBookmark* bookmark, const char** title)
{
    return exposeText(bookmark->title, title);
}

bool KD_LogBookmark_GetComment(const KD_LogBookmark* bookmark, const char** comment)
{
    return exposeText(bookmark->comments, comment);
}

bool KD_LogBookmark_GetPayload(const KD_LogBookmark* bookmark, size_t* size, const uint8_t** data)
{
    return exposeBytes(bookmark->payload, size, data);
}

bool KD_LogBookmark_SetTitle(KD_LogBookmark* bookmark, const char* title)
{
    bookmark->title = orEmpty(title);
    return true;
}

bool KD_LogBookmark_SetComment(KD_LogBookmark* bookmark, const char* comment)
{
    bookmark->comments = orEmpty(comment);
    return true;
}

bool KD_LogBookmark_SetPayload(KD_LogBookmark* bookmark, const uint8_t* data, size_t size)
{
    bookmark->payload = copyBytes(data, size);
    return true;
}

// LogDataEntry

KD_LogDataEntry* KD_LogDataEntry_Create(const KD_LogDataSource* source, uint32_t type, const uint8_t* data, size_t size)
{
    auto* entry = new DataEntry;
    entry->dataSourceId = source != nullptr ? source->id : std::int8_t{-1};
    entry->type = type;
    entry->payload = copyBytes(data, size);
    entry->timestamp = Keldar::Chrono::msSinceUnixEpoch();
    return entry;
}

void KD_LogDataEntry_Destroy(KD_LogDataEntry* entry)
{
    delete entry;
}

bool KD_LogDataEntry_GetData(const KD_LogDataEntry* entry, size_t* size, const uint8_t** data)
{
    return exposeBytes(entry->payload, size, data);
}

bool KD_LogDataEntry_GetDataSourceId(const KD_LogDataEntry* entry, int8_t* dataSourceId)
{
    if (dataSourceId != nullptr) {
        *dataSourceId = entry->dataSourceId;
    }
    return true;
}

bool KD_LogDataEntry_GetTimestamp(const KD_LogDataEntry* entry, int64_t* timestamp)
{
    if (timestamp != nullptr) {
        *timestamp = entry->timestamp;
    }
    return true;
}

bool KD_LogDataEntry_GetType(const KD_LogDataEntry* entry, uint32_t* type)
{
    if (type != nullptr) {
        *type = entry->type;
    }
    return true;
}

bool KD_LogDataEntry_SetTimestamp(KD_LogDataEntry* entry, int64_t timestamp)
{
    entry->timestamp = timestamp;
    return true;
}

// LogDataSource

KD_LogDataSource* KD_LogDataSource_Create(KD_LogDataSourceType type, const char* name)
{
    return new DataSource{-1, type, orEmpty(name)};
}

void KD_LogDataSource_Destroy(KD_LogDataSource* source)
{
    delete source;
}

bool KD_LogDataSource_GetId(const KD_LogDataSource* source, int8_t* id)
{
    if (id != nullptr) {
        *id = source->id;
    }
    return true;
}

bool KD_LogDataSource_GetName(const KD_LogDataSource* source, const char** name)
{
    return exposeText(source->name, name);
}

bool KD_LogDataSource_GetType(const KD_LogDataSource* source, KD_LogDataSourceType* type)
{
    if (type != nullptr) {
        *type = source->type;
    }
    return true;
}

// LogDataSourceProperty

KD_LogDataSourceProperty* KD_LogDataSourceProperty_CreateInt32(const KD_LogDataSource* source, const char* key,
                                                               int32_t value)
{
    return new DataSourceProperty{source->id, orEmpty(key), PropertyValue{std::in_place_index<0>, value}};
}

KD_LogDataSourceProperty* KD_LogDataSourceProperty_CreateInt64(const KD_LogDataSource* source, const char* key,
                                                               int64_t value)
{
    return new DataSourceProperty{source->id, orEmpty(key), PropertyValue{std::in_place_index<1>, value}};
}

KD_LogDataSourceProperty* KD_LogDataSourceProperty_CreateDouble(const KD_LogDataSource* source, const char* key,
                                                                double value)
{
    return new DataSourceProperty{source->id, orEmpty(key), PropertyValue{std::in_place_index<2>, value}};
}

KD_LogDataSourceProperty* KD_LogDataSourceProperty_CreateString(const KD_LogDataSource* source, const char* key,
                                                                const char* value)
{
    return new DataSourceProperty{source->id, orEmpty(key),
                                  PropertyValue{std::in_place_index<3>, std::string(orEmpty(value))}};
}

void KD_LogDataSourceProperty_Destroy(KD_LogDataSourceProperty* property)
{
    delete property;
}

bool KD_LogDataSourceProperty_GetDataSourceId(const KD_LogDataSourceProperty* property, int8_t* dataSourceId)
{
    if (dataSourceId != nullptr) {
        *dataSourceId = property->dataSourceId;
    }
    return true;
}

bool KD_LogDataSourceProperty_GetPropertyName(const KD_LogDataSourceProperty* property, const char** name)
{
    return exposeText(property->key, name);
}

bool KD_LogDataSourceProperty_GetInt32(const KD_LogDataSourceProperty* property, int32_t* value)
{
    return getAlternative<std::int32_t>(property->value, value);
}

bool KD_LogDataSourceProperty_GetInt64(const KD_LogDataSourceProperty* property, int64_t* value)
{
    return getAlternative<std::int64_t>(property->value, value);
}

bool KD_LogDataSourceProperty_GetDouble(const KD_LogDataSourceProperty* property, double* value)
{
    return getAlternative<double>(property->value, value);
}

bool KD_LogDataSourceProperty_GetString(const KD_LogDataSourceProperty* property, const char** value)
{
    return getAlternative<std::string>(property->value, value);
}

// LogEntryIndexFilter

KD_LogEntryIndexFilter* KD_LogEntryIndexFilter_Create(void)
{
    return new EntryIndexFilter;
}

void KD_LogEntryIndexFilter_Destroy(KD_LogEntryIndexFilter* filter)
{
    delete filter;
}

bool KD_LogEntryIndexFilter_AddDataType(KD_LogEntryIndexFilter* filter, uint32_t type)
{
    filter->dataTypes.push_back(type);
    return true;
}

bool KD_LogEntryIndexFilter_AddDataSource(KD_LogEntryIndexFilter* filter, int8_t dataSourceId)
{
    filter->dataSources.push_back(dataSourceId);
    return true;
}

bool KD_LogEntryIndexFilter_AddDataSourceType(KD_LogEntryIndexFilter* filter, KD_LogDataSourceType type)
{
    filter->dataSourceTypes.push_back(type);
    return true;
}

// LogMetadata

KD_LogMetadata* KD_LogMetadata_CreateInt32(const char* key, int32_t value)
{
    return new LogMetadataEntry{orEmpty(key), PropertyValue{std::in_place_index<0>, value}};
}

KD_LogMetadata* KD_LogMetadata_CreateInt64(const char* key, int64_t value)
{
    return new LogMetadataEntry{orEmpty(key), PropertyValue{std::in_place_index<1>, value}};
}

KD_LogMetadata* KD_LogMetadata_CreateDouble(const char* key, double value)
{
    return new LogMetadataEntry{orEmpty(key), PropertyValue{std::in_place_index<2>, value}};
}

KD_LogMetadata* KD_LogMetadata_CreateString(const char* key, const char* value)
{
    return new LogMetadataEntry{orEmpty(key), PropertyValue{std::in_place_index<3>, std::string(orEmpty(value))}};
}

void KD_LogMetadata_Destroy(KD_LogMetadata* metadata)
{
    delete metadata;
}

bool KD_LogMetadata_GetKey(const KD_LogMetadata* metadata, const char** key)
{
    return exposeText(metadata->key, key);
}

bool KD_LogMetadata_GetInt32(const KD_LogMetadata* metadata, int32_t* value)
{
    return getAlternative<std::int32_t>(metadata->value, value);
}

bool KD_LogMetadata_GetInt64(const KD_LogMetadata* metadata, int64_t* value)
{
    return getAlternative<std::int64_t>(metadata->value, value);
}

bool KD_LogMetadata_GetDouble(const KD_LogMetadata* metadata, double* value)
{
    return getAlternative<double>(metadata->value, value);
}

bool KD_LogMetadata_GetString(const KD_LogMetadata* metadata, const char** value)
{
    return getAlternative<std::string>(metadata->value, value);
}

// LogResource

KD_LogResource* KD_LogResource_Create(const char* name, const uint8_t* data, size_t size)
{
    return new LogResourceEntry{orEmpty(name), copyBytes(data, size)};
}

void KD_LogResource_Destroy(KD_LogResource* resource)
{
    delete resource;
}

bool KD_LogResource_GetName(const KD_LogResource* resource, const char** name)
{
    return exposeText(resource->name, name);
}

bool KD_LogResource_GetData(const KD_LogResource* resource, size_t* size, const uint8_t** data)
{
    return exposeBytes(resource->data, size, data);
}

// LogError

bool KD_LogError_GetErrorMessage(const KD_LogError* error, const char** message)
{
    if (error == nullptr) {
        return false;
    }
    return exposeText(error->message, message);
}

void KD_LogError_Destroy(KD_LogError* error)
{
    delete error;
}

} // extern "C"
