#pragma once

#include <array>

// The items of the settings lists by ASCII names, in the order of the window's lists
// (exchange/SettingTexts.h): what kelvarin-cli shows beside the window's texts and
// takes in their place, for scripts and keyboards without Cyrillic letters.
inline constexpr std::array<const char*, 3> modeNames{"manual", "auto", "computer"};
inline constexpr std::array<const char*, 10> periodNames{
    "4min", "6min", "8min", "10min", "12min", "14min", "16min", "18min", "20min", "off"};
inline constexpr std::array<const char*, 3> relayNames{"2min", "3s", "reset"};
inline constexpr std::array<const char*, 3> backlightNames{"off", "in-use", "always"};
