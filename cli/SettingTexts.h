#pragma once

#include <array>

// The items of the window's settings lists, index 0 first: the texts the command
// line shows and accepts for the settings, exactly as the window has them.
inline constexpr std::array<const char*, 3> modeTexts{"РУЧНОЙ", "АВТОМАТИЧ", "КОМПЬЮТЕР"};
inline constexpr std::array<const char*, 10> periodTexts{
    "4 МИН", "6 МИН", "8 МИН", "10 МИН", "12 МИН", "14 МИН", "16 МИН", "18 МИН", "20 МИН", "ВЫКЛ"};
inline constexpr std::array<const char*, 3> relayTexts{"2 МИН", "3 СЕК", "СБРОС"};
inline constexpr std::array<const char*, 3> backlightTexts{"ВЫКЛЮЧЕНА", "ПРИ РАБОТЕ", "ПОСТОЯННО"};
