// Opens a recording through the log library's flat interface and decodes its
// first ping result with the sonar library: "N entries, first image WxH".
#include <keldar/logging/FlatInterface.h>
#include <keldar/ondrix/MessageParsing.h>

#include <cstdio>
#include <vector>

namespace {

int fail(KD_LogError* error)
{
    const char* message = "unknown error";
    KD_LogError_GetErrorMessage(error, &message);
    std::fprintf(stderr, "recording-summary: %s\n", message);
    KD_LogError_Destroy(error);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: recording-summary FILE.ondrix\n");
        return 2;
    }
    KD_LogError* error = nullptr;
    KD_LogFile* file = KD_LogFile_Open(argv[1], &error);
    if (file == nullptr) {
        return fail(error);
    }
    int32_t count = 0;
    int32_t first = 0;
    KD_LogDataEntry* entry = nullptr;
    if (!KD_LogFile_GetEntryCount(file, &count, &error) || !KD_LogFile_GetFirstEntryId(file, &first, &error) ||
        !KD_LogFile_ReadEntry(file, first, &entry, &error)) {
        KD_LogFile_Destroy(file);
        return fail(error);
    }
    std::size_t size = 0;
    const std::uint8_t* data = nullptr;
    KD_LogDataEntry_GetData(entry, &size, &data);
    std::vector<std::byte> message(reinterpret_cast<const std::byte*>(data),
                                   reinterpret_cast<const std::byte*>(data) + size);
    KD_LogDataEntry_Destroy(entry);
    KD_LogFile_Destroy(file);

    namespace Parsing = Keldar::Ondrix::MessageParsing;
    try {
        const auto image = Parsing::getMessageType(message) == Keldar::Ondrix::MessageType::FullFireResult
                               ? Parsing::parseFullFireResult(message).image
                           : Parsing::getMessageVersion(message) == 2 ? Parsing::parseSimplePingResultV2(message).image
                                                                      : Parsing::parseSimplePingResult(message).image;
        std::printf("%d entries, first image %ux%u\n", count, image.getWidth(), image.getHeight());
    } catch (const Keldar::Ondrix::BadlyFormedMessageError& error) {
        std::fprintf(stderr, "recording-summary: first entry is not a ping result: %s\n", error.what());
        return 1;
    }
    return 0;
}
