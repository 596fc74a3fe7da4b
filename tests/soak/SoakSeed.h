#pragma once

#include <QtGlobal>

#include <cstdint>
#include <random>

// A soak draws its faults from this seed: a new one each run, or the one given in
// KELVARIN_SOAK_SEED to replay a failure.
inline uint64_t SoakSeed() {
    bool given = false;
    const qulonglong seed = qEnvironmentVariable("KELVARIN_SOAK_SEED").toULongLong(&given);
    if (given)
        return seed;
    std::random_device device;
    return (uint64_t(device()) << 32) | device();
}

// How many operations a soak runs: the fallback, or more from the environment.
inline int SoakCount(const char* variable, int fallback) {
    bool given = false;
    const int count = qEnvironmentVariableIntValue(variable, &given);
    return given && count > 0 ? count : fallback;
}
