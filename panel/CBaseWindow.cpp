#include "panel/CBaseWindow.h"

#include "base/CKelvarinDoc.h"
#include "base/SafeSave.h"
#include "panel/CObjectBaseModel.h"
#include "panel/ObjectBasePrint.h"
#include "panel/ObjectBaseText.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString geometryGroup = QStringLiteral("BaseWindow");
constexpr QSize defaultSize(480, 560);

void Name(QWidget& widget, const char* objectName, const char* accessibleName) {
    widget.setObjectName(QString::fromLatin1(objectName));
    widget.setAccessibleName(QString::fromLatin1(accessibleName));
}

QPushButton* AddButton(QHBoxLayout& row, const QString& caption, const char* objectName,
                       const char* accessibleName) {
    auto* button = new QPushButton(caption);
    Name(*button, objectName, accessibleName);
    row.addWidget(button);
    return button;
}

int ReadInt(QSettings& profile, const QString& key, bool& ok) {
    bool read = false;
    const int value = profile.value(key).toInt(&read);
    ok = ok && read;
    return value;
}

} // namespace

CBaseWindow::CBaseWindow(CObjectBaseModel& model, const CKelvarinDoc& doc, QWidget* parent)
    : QWidget(parent, Qt::Window), model(model), doc(doc), shown(model) {
    setWindowTitle(QStringLiteral("Object base - Kelvarin"));
    resize(defaultSize);

    countsLabel = new QLabel;
    Name(*countsLabel, "counts", "Counts");

    filterList = new QComboBox;
    Name(*filterList, "filter", "Filter");
    // Screen readers announce a combo box's current item as its name.
    filterList->setAccessibleDescription(QStringLiteral("Filter"));
    filterList->addItems({QStringLiteral("All objects"),
                          QStringLiteral("Learned (console or file)"),
                          QStringLiteral("Differing only")});
    auto* filterLabel = new QLabel(QStringLiteral("&Filter:"));
    filterLabel->setBuddy(filterList);

    findBox = new QLineEdit;
    Name(*findBox, "find", "Find");
    findBox->setPlaceholderText(QStringLiteral("034 or 034.012"));
    findBox->setClearButtonEnabled(true);
    auto* findLabel = new QLabel(QStringLiteral("F&ind:"));
    findLabel->setBuddy(findBox);
    findResult = new QLabel;
    Name(*findResult, "findResult", "Find result");
    // Room for its longest word, so that the box does not jump while one types.
    findResult->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("No match")));

    table = new QTableView;
    Name(*table, "objectBaseTable", "Object base table");
    table->setModel(&shown);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    // Fixed row heights and stretched columns: nothing has to measure 600 rows.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    auto* copyAction = new QAction(QStringLiteral("&Copy"), table);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copyAction, &QAction::triggered, this, &CBaseWindow::CopySelectedRows);
    table->addAction(copyAction);
    table->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* findRow = new QHBoxLayout;
    findRow->addWidget(filterLabel);
    findRow->addWidget(filterList);
    findRow->addSpacing(12);
    findRow->addWidget(findLabel);
    findRow->addWidget(findBox, 1);
    findRow->addWidget(findResult);

    auto* buttonRow = new QHBoxLayout;
    QPushButton* csvButton =
        AddButton(*buttonRow, QStringLiteral("Export &CSV..."), "exportCsv", "Export CSV");
    QPushButton* pdfButton =
        AddButton(*buttonRow, QStringLiteral("Export &PDF..."), "exportPdf", "Export PDF");
    QPushButton* printButton = AddButton(*buttonRow, QStringLiteral("P&rint..."), "print", "Print");
    buttonRow->addStretch(1);
    QPushButton* closeButton = AddButton(*buttonRow, QStringLiteral("Close"), "close", "Close");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(countsLabel);
    layout->addLayout(findRow);
    layout->addWidget(table, 1);
    layout->addLayout(buttonRow);

    connect(filterList, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetFilter(CObjectBaseFilter::Filter(index)); });
    connect(findBox, &QLineEdit::textEdited, this, &CBaseWindow::FindFirst);
    connect(findBox, &QLineEdit::returnPressed, this, &CBaseWindow::FindNext);
    connect(csvButton, &QPushButton::clicked, this, &CBaseWindow::OnExportCsv);
    connect(pdfButton, &QPushButton::clicked, this, &CBaseWindow::OnExportPdf);
    connect(printButton, &QPushButton::clicked, this, &CBaseWindow::OnPrint);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(&model, &CObjectBaseModel::countsChanged, this, &CBaseWindow::UpdateCounts);
    UpdateCounts();
}

void CBaseWindow::RestoreGeometry(QSettings& profile) {
    profile.beginGroup(geometryGroup);
    bool ok = true;
    const QPoint position(ReadInt(profile, QStringLiteral("X"), ok),
                          ReadInt(profile, QStringLiteral("Y"), ok));
    const QSize size(ReadInt(profile, QStringLiteral("Width"), ok),
                     ReadInt(profile, QStringLiteral("Height"), ok));
    profile.endGroup();
    if (!ok)
        return;
    resize(size.expandedTo(minimumSizeHint()));
    // A screen that has gone since would leave the window out of reach.
    if (QGuiApplication::screenAt(position + QPoint(20, 20)))
        move(position);
}

void CBaseWindow::SaveGeometry(QSettings& profile) const {
    profile.beginGroup(geometryGroup);
    profile.setValue(QStringLiteral("X"), pos().x());
    profile.setValue(QStringLiteral("Y"), pos().y());
    profile.setValue(QStringLiteral("Width"), width());
    profile.setValue(QStringLiteral("Height"), height());
    profile.endGroup();
}

void CBaseWindow::SetFilter(CObjectBaseFilter::Filter filter) {
    filterList->setCurrentIndex(int(filter));
    shown.SetFilter(filter);
}

void CBaseWindow::FindFirst(const QString& text) {
    Find(text, -1);
}

void CBaseWindow::FindNext() {
    Find(findBox->text(), table->currentIndex().isValid() ? table->currentIndex().row() : -1);
}

void CBaseWindow::Find(const QString& text, int afterRow) {
    if (findBox->text() != text)
        findBox->setText(text);
    findResult->clear();
    if (text.trimmed().isEmpty())
        return;
    const FindQuery query = ParseFindText(text);
    const int row = shown.FindNext(query, afterRow);
    if (row < 0) {
        // A selection left from an earlier text would pass for a match.
        table->selectionModel()->clear();
        // The box's placeholder shows the two forms it takes.
        findResult->setText(query.kind == FindQuery::Kind::Invalid ? QStringLiteral("Invalid")
                                                                   : QStringLiteral("No match"));
        return;
    }
    const QModelIndex found = shown.index(row, 0);
    table->selectionModel()->setCurrentIndex(found, QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
    table->scrollTo(found);
}

void CBaseWindow::CopySelectedRows() {
    QModelIndexList rows = table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QList<int> objects;
    for (const QModelIndex& row : rows)
        objects << shown.ObjectNumberAt(row.row());
    if (!objects.isEmpty())
        QGuiApplication::clipboard()->setText(ObjectBaseTabText(model, objects));
}

bool CBaseWindow::ExportCsv(const QString& path) {
    QList<int> objects;
    for (int row = 0; row < shown.rowCount(); ++row)
        objects << shown.ObjectNumberAt(row);
    return SaveExport(path, ObjectBaseCsv(model, objects));
}

bool CBaseWindow::ExportPdf(const QString& path) {
    return SaveExport(path, ObjectBasePdf(model, SourceName(), QDateTime::currentDateTime()));
}

void CBaseWindow::closeEvent(QCloseEvent* event) {
    emit closed();
    QWidget::closeEvent(event);
}

void CBaseWindow::OnExportCsv() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), SuggestedPath(".csv"),
                                     QStringLiteral("CSV files (*.csv);;All Files (*)"));
    if (!path.isEmpty())
        ExportCsv(path);
}

void CBaseWindow::OnExportPdf() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Export PDF"), SuggestedPath(".pdf"),
                                     QStringLiteral("PDF files (*.pdf);;All Files (*)"));
    if (!path.isEmpty())
        ExportPdf(path);
}

void CBaseWindow::OnPrint() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Object base - %1").arg(SourceName()));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        PrintObjectBase(printer, model, SourceName(), QDateTime::currentDateTime());
}

void CBaseWindow::UpdateCounts() {
    countsLabel->setText(CountsText(model));
}

QString CBaseWindow::SourceName() const {
    return doc.PathName().isEmpty() ? QStringLiteral("Console")
                                    : QFileInfo(doc.PathName()).fileName();
}

QString CBaseWindow::SuggestedPath(const QString& suffix) const {
    if (doc.PathName().isEmpty())
        return QStringLiteral("object-base") + suffix;
    const QFileInfo file(doc.PathName());
    return file.dir().filePath(file.completeBaseName() + suffix);
}

bool CBaseWindow::SaveExport(const QString& path, const QByteArray& bytes) {
    QString errorText;
    if (SaveFileSafely(path, bytes, &errorText))
        return true;
    QMessageBox::warning(
        this, QStringLiteral("Kelvarin"),
        QStringLiteral("Cannot write file %1:\n%2").arg(QDir::toNativeSeparators(path), errorText));
    return false;
}
