#include "panel/CRewriteDlg.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace {

const char* const learnedText = "ЗАПИСЫВАЕМЫЙ НОМЕР УЖЕ ОБУЧЕН В ПЦН";
const char* const questionText = "ПЕРЕЗАПИСАТЬ: OK,  НЕ ЗАПИСЫВАТЬ: Cansel";

} // namespace

CRewriteDlg::CRewriteDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Write Number");
    setModal(true);

    auto* learned = new QLabel(QString::fromUtf8(learnedText), this);
    auto* question = new QLabel(QString::fromUtf8(questionText), this);
    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton("Cancel", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // The layout is drawn in dialog units: a quarter of the average character width
    // across and an eighth of the line height down. The unit across grows where this
    // font's capitals would not fit the width their line was drawn for.
    const QFontMetrics metrics(font());
    const double unitY = metrics.height() / 8.0;
    const double unitX = std::max({metrics.averageCharWidth() / 4.0,
                                   metrics.horizontalAdvance(learned->text()) / 175.0,
                                   metrics.horizontalAdvance(question->text()) / 168.0});
    const auto place = [&](QWidget* widget, int left, int top, int width, int height) {
        widget->setGeometry(qRound(left * unitX), qRound(top * unitY), qRound(width * unitX),
                            qRound(height * unitY));
    };
    place(ok, 35, 40, 50, 14);
    place(cancel, 110, 40, 50, 14);
    place(learned, 14, 14, 175, 10);
    place(question, 15, 25, 168, 9);
    setFixedSize(qRound(197 * unitX), qRound(70 * unitY));
}
