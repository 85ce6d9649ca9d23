// Reads mutated bytes as an older-format log and translates every record as
// the conversion does, without writing a log. Any outcome but a crash, a hang,
// a huge allocation or a sanitizer report is fine: ConversionError is the
// expected refusal.
#include <keldar/logging/legacy/ConversionError.h>
#include <keldar/logging/legacy/LegacyLogReader.h>
#include <keldar/logging/legacy/RecordTranslator.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        Keldar::Logging::Legacy::LegacyLogReader reader(in);
        Keldar::Logging::Legacy::RecordTranslator translator;
        while (const std::size_t groupSize = reader.scanGroup()) {
            for (std::size_t i = 0; i < groupSize; ++i) {
                translator.translate(reader.readRecord(), i, groupSize);
            }
        }
    } catch (const Keldar::Logging::Legacy::ConversionError&) {
    }
    return 0;
}
