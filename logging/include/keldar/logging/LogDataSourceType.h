#pragma once

#ifdef __cplusplus
#include <cstdint>
enum KD_LogDataSourceType : std::int32_t {
#else
enum KD_LogDataSourceType {
#endif
    // The sonar source, the only kind the viewer writes and plays.
    KD_LogDataSourceType_Sonar = 0,
};

#ifndef __cplusplus
typedef enum KD_LogDataSourceType KD_LogDataSourceType;
#endif
