#include "panel/PanelLabels.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>

namespace {

struct PanelLabel {
    int x;
    int y;
    const char* text;
};

constexpr PanelLabel panelLabels[] = {
    {40, 220, "Type Obj"},  {170, 220, "Number Obj"}, {320, 220, "Number TX"},
    {40, 310, "Режим ПЦН"}, {180, 310, "Канал"},      {290, 310, "Подсветка"},
    {420, 310, "Реле"},     {520, 310, "Порт-2"},
};

constexpr double screenDotsPerInch = 96.0;

} // namespace

void PaintPanelLabels(QPainter& painter) {
    const QFontMetrics metrics = painter.fontMetrics();
    for (const PanelLabel& label : panelLabels)
        painter.drawText(label.x, label.y + metrics.ascent(), QString::fromUtf8(label.text));
}

bool PrintPanelLabels(QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const double scale = printer.resolution() / screenDotsPerInch;
    painter.scale(scale, scale);
    // A point-sized font would be scaled twice (by the printer's resolution and by
    // the transform); the screen's pixel size keeps the text the size it is there.
    QFont font = QGuiApplication::font();
    font.setPixelSize(QFontInfo(font).pixelSize());
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setBackground(Qt::white);
    painter.setBackgroundMode(Qt::OpaqueMode);
    PaintPanelLabels(painter);
    return painter.end();
}
