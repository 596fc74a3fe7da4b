#pragma once

class QPainter;
class QPrinter;

// The eight texts painted on the panel's own surface ("Type Obj", "Режим ПЦН", ...),
// each with the top-left corner of its text at its point, in the painter's current
// font, pen and background.
void PaintPanelLabels(QPainter& painter);

// Prints the labels on one page, black on white, one panel pixel to 1/96 inch so
// the page looks like the screen. False when the printer cannot be painted on.
bool PrintPanelLabels(QPrinter& printer);
