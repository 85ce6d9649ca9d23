// Records numbered entries through the flat interface and prints the number
// of each entry once KD_LogFile_LogData has returned, so that a test killing
// this process knows which entries must have survived.
//
// Usage: logging-kill-recorder PATH PAYLOAD_BYTES COMPRESSION_LEVEL [INTERVAL_MS]
#include <keldar/logging/FlatInterface.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "RecordedPayload.h"

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s PATH PAYLOAD_BYTES COMPRESSION_LEVEL [INTERVAL_MS]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const auto payloadBytes = static_cast<std::size_t>(std::strtoul(argv[2], nullptr, 10));
    const auto level = static_cast<std::int8_t>(std::strtol(argv[3], nullptr, 10));
    const long intervalMs = argc > 4 ? std::strtol(argv[4], nullptr, 10) : 0;

    KD_LogError* error = nullptr;
    KD_LogConfig* config = KD_LogConfig_Create("kill-recorder", "1", "UTC");
    KD_LogConfig_SetCompressionLevel(config, level, &error);
    KD_LogFile* file = KD_LogFile_Create(path.c_str(), config, &error);
    if (file == nullptr) {
        const char* message = "";
        KD_LogError_GetErrorMessage(error, &message);
        std::fprintf(stderr, "create failed: %s\n", message);
        return 1;
    }
    KD_LogDataSource* source = KD_LogDataSource_Create(KD_LogDataSourceType_Sonar, "Ondrix test");
    KD_LogFile_AddDataSource(file, source, &error);
    std::printf("ready\n");
    std::fflush(stdout);

    for (std::int32_t id = 1;; ++id) {
        const std::vector<std::uint8_t> payload = Keldar::Logging::Testing::recordedPayload(id, payloadBytes);
        KD_LogDataEntry* entry = KD_LogDataEntry_Create(source, 1, payload.data(), payload.size());
        KD_LogDataEntry_SetTimestamp(entry, 1000 + id);
        const bool logged = KD_LogFile_LogData(file, entry, &error);
        KD_LogDataEntry_Destroy(entry);
        if (!logged) {
            std::fprintf(stderr, "log failed at %d\n", id);
            return 1;
        }
        std::printf("%d\n", id);
        std::fflush(stdout);
        if (intervalMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
        }
    }
}
