#pragma once

#include <array>

// The object-state list: whether a transmitter is learned.
inline constexpr std::array<const char*, 2> objectStateTexts{"НЕ ОБУЧЕН", "ОБУЧЕН"};

// The items of the settings lists, index 0 first: what the panel's lists hold
// and what the command line shows and accepts, the same texts everywhere.
inline constexpr std::array<const char*, 3> modeTexts{"РУЧНОЙ", "АВТОМАТИЧ", "КОМПЬЮТЕР"};
inline constexpr std::array<const char*, 10> periodTexts{
    "4 МИН", "6 МИН", "8 МИН", "10 МИН", "12 МИН", "14 МИН", "16 МИН", "18 МИН", "20 МИН", "ВЫКЛ"};
inline constexpr std::array<const char*, 3> relayTexts{"2 МИН", "3 СЕК", "СБРОС"};
inline constexpr std::array<const char*, 3> backlightTexts{"ВЫКЛЮЧЕНА", "ПРИ РАБОТЕ", "ПОСТОЯННО"};
