#include "panel/ObjectBasePrint.h"

#include "panel/CObjectBaseModel.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace {

constexpr int bodyPointSize = 10;
constexpr int headingPointSize = 14;
constexpr int pdfResolution = 300;

QList<int> LearnedObjects(const CObjectBaseModel& model) {
    QList<int> objects;
    for (int objectNumber = 1; objectNumber <= model.rowCount(); ++objectNumber)
        if (model.IsLearnedInConsole(objectNumber) || model.IsLearnedInFile(objectNumber))
            objects.append(objectNumber);
    return objects;
}

// Where the parts of a page go, in the device's pixels.
struct PageGeometry {
    int width = 0;
    int rowHeight = 0;
    int headingHeight = 0; // the heading and the gap under it, first page only
    int footerTop = 0;
    int firstPageRows = 0;
    int pageRows = 0;
};

PageGeometry MeasurePage(QPainter& painter, const QFont& body, const QFont& heading) {
    const QPaintDevice& device = *painter.device();
    const QFontMetrics bodyMetrics(body, painter.device());
    const QFontMetrics headingMetrics(heading, painter.device());
    PageGeometry page;
    page.width = device.width();
    page.rowHeight = bodyMetrics.lineSpacing() * 3 / 2;
    page.headingHeight = headingMetrics.lineSpacing() + 3 * page.rowHeight;
    page.footerTop = device.height() - page.rowHeight;
    // The column titles and a free row above the footer take two rows of every page.
    const int rowsHeight = page.footerTop - 2 * page.rowHeight;
    page.pageRows = std::max(1, rowsHeight / page.rowHeight);
    page.firstPageRows = std::max(1, (rowsHeight - page.headingHeight) / page.rowHeight);
    return page;
}

void DrawRow(QPainter& painter, const PageGeometry& page, int top, const QStringList& cells) {
    const int columnWidth = page.width / int(cells.size());
    for (int column = 0; column < cells.size(); ++column)
        painter.drawText(QRect(column * columnWidth, top, columnWidth, page.rowHeight),
                         Qt::AlignCenter, cells[column]);
}

QStringList ShownCells(const CObjectBaseModel& model, int objectNumber) {
    QStringList cells;
    for (int column = 0; column < model.columnCount(); ++column)
        cells << model.data(model.index(objectNumber - 1, column)).toString();
    return cells;
}

QStringList ColumnTitles(const CObjectBaseModel& model) {
    QStringList titles;
    for (int column = 0; column < model.columnCount(); ++column)
        titles << model.headerData(column, Qt::Horizontal).toString();
    return titles;
}

} // namespace

QString CountsText(const CObjectBaseModel& model) {
    const CObjectBaseModel::Counts counts = model.CountObjects();
    return QStringLiteral("Learned in the console: %1    Learned in the file: %2    Differing: %3")
        .arg(counts.learnedInConsole)
        .arg(counts.learnedInFile)
        .arg(counts.differing);
}

void PrintObjectBase(QPagedPaintDevice& device, const CObjectBaseModel& model,
                     const QString& sourceName, const QDateTime& printedAt) {
    QPainter painter(&device);
    if (!painter.isActive())
        return;
    QFont body = painter.font();
    body.setPointSize(bodyPointSize);
    // Without ligatures a reader's search for "file" finds the word in the PDF.
    body.setStyleStrategy(QFont::PreferNoShaping);
    QFont bold = body;
    bold.setBold(true);
    QFont heading = bold;
    heading.setPointSize(headingPointSize);
    const PageGeometry page = MeasurePage(painter, body, heading);

    const QList<int> objects = LearnedObjects(model);
    const qsizetype laterRows = std::max<qsizetype>(0, objects.size() - page.firstPageRows);
    const int pageCount = 1 + int((laterRows + page.pageRows - 1) / page.pageRows);

    qsizetype next = 0;
    for (int pageNumber = 1; pageNumber <= pageCount; ++pageNumber) {
        if (pageNumber > 1)
            device.newPage();
        int top = 0;
        if (pageNumber == 1) {
            painter.setFont(heading);
            const int headingLine = QFontMetrics(heading, &device).lineSpacing();
            painter.drawText(QRect(0, 0, page.width, headingLine), Qt::AlignLeft,
                             QStringLiteral("Object base - %1").arg(sourceName));
            painter.setFont(body);
            top = headingLine;
            painter.drawText(QRect(0, top, page.width, page.rowHeight), Qt::AlignLeft,
                             QLocale::c().toString(printedAt, QStringLiteral("yyyy-MM-dd HH:mm")));
            top += page.rowHeight;
            painter.drawText(QRect(0, top, page.width, page.rowHeight), Qt::AlignLeft,
                             CountsText(model));
            top = page.headingHeight;
        }
        painter.setFont(bold);
        DrawRow(painter, page, top, ColumnTitles(model));
        top += page.rowHeight;
        painter.drawLine(0, top, page.width, top);
        painter.setFont(body);

        const int rows = pageNumber == 1 ? page.firstPageRows : page.pageRows;
        for (int row = 0; row < rows && next < objects.size(); ++row, ++next) {
            // Every other row shaded, so that a line is easy to follow across the page.
            if (row % 2 == 1)
                painter.fillRect(QRect(0, top, page.width, page.rowHeight), QColor(235, 235, 235));
            DrawRow(painter, page, top, ShownCells(model, objects[next]));
            top += page.rowHeight;
        }
        if (objects.isEmpty())
            painter.drawText(QRect(0, top, page.width, page.rowHeight), Qt::AlignCenter,
                             QStringLiteral("No object is learned."));

        painter.drawText(QRect(0, page.footerTop, page.width, page.rowHeight), Qt::AlignCenter,
                         QStringLiteral("Page %1 of %2").arg(pageNumber).arg(pageCount));
    }
}

QByteArray ObjectBasePdf(const CObjectBaseModel& model, const QString& sourceName,
                         const QDateTime& printedAt) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(pdfResolution);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        writer.setTitle(QStringLiteral("Object base - %1").arg(sourceName));
        writer.setCreator(QStringLiteral("Kelvarin"));
        PrintObjectBase(writer, model, sourceName, printedAt);
    }
    return buffer.data();
}
