#pragma once

#ifdef __cplusplus
#include <cstdint>
enum KD_LogDataSourceType : std::int32_t {
#else
enum KD_LogDataSourceType {
#endif
    // The sonar source, the only kind the viewer plays.
    KD_LogDataSourceType_Sonar = 0,
    // NMEA 0183 sentences as they arrived, beside the sonar's images.
    KD_LogDataSourceType_Navigation = 1,
};

#ifndef __cplusplus
typedef enum KD_LogDataSourceType KD_LogDataSourceType;
#endif
