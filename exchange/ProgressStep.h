#pragma once

// Where one step leaves the progress bar: the step is added to the position, and a
// step past the maximum starts the bar again from the minimum.
constexpr int SteppedProgress(int position, int step, int minimum, int maximum) {
    return position + step > maximum ? minimum : position + step;
}
