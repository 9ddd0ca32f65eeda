// Process-wide settings, filled by the command line only.
#pragma once

#include <cstdint>

struct RunSettings {
    const char* inputCdfgPath = nullptr;
    const char* outputInfPath = nullptr;
    const char* constraintFilePath = nullptr;
    std::int32_t titleMode = 0;
    std::int32_t debugMode = 0;
    std::int32_t checkEnabled = 1;
    std::int64_t autoVarMaxSize = 16384;
    std::int32_t ecMode = 0;
    std::int32_t mevMode = 0;
    std::int32_t algocMode = 0;
    std::int32_t ansicMode = 0;
    std::int32_t funcPointerCheck = 0;
    std::int32_t moduleArgPointerCheck = 0;
    std::int32_t multiPointerCheck = 0;
    std::int32_t structPointerMemberCheck = 0;
    std::int32_t dynamicAllocCheck = 1;
};

// The settings of this run. Tests may assign to it; reset with `= RunSettings{}`.
extern RunSettings runSettings;
