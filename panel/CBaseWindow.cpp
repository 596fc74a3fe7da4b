#include "panel/CBaseWindow.h"

#include "base/CKelvarinDoc.h"
#include "base/FileTableFiles.h"
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
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString geometryGroup = QStringLiteral("BaseWindow");
constexpr QSize defaultSize(480, 560);
constexpr int toolTipMs = 10000;
// Lines of faults a box lists before it only counts the rest.
constexpr qsizetype listedFaults = 10;

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

// "&Undo Set object 007": what the step would undo or redo.
QString StepText(const char* command, const QString& step) {
    const QString text = QString::fromLatin1(command);
    return step.isEmpty() ? text : text + QLatin1Char(' ') + step;
}

int ReadInt(QSettings& profile, const QString& key, bool& ok) {
    bool read = false;
    const int value = profile.value(key).toInt(&read);
    ok = ok && read;
    return value;
}

} // namespace

CBaseWindow::CBaseWindow(CObjectBaseModel& model, CKelvarinDoc& doc, const QList<RunFile>& runFiles,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), model(model), doc(doc), runFiles(runFiles), shown(model) {
    setWindowTitle(QStringLiteral("Object base - Kelvarin"));
    resize(defaultSize);

    countsLabel = new QLabel;
    Name(*countsLabel, "counts", "Counts");
    fileStateLabel = new QLabel;
    Name(*fileStateLabel, "fileState", "File state");

    filterList = new QComboBox;
    Name(*filterList, "filter", "Filter");
    // Screen readers announce a combo box's current item as its name.
    filterList->setAccessibleDescription(QStringLiteral("Filter"));
    filterList->addItems(
        {QStringLiteral("All objects"), QStringLiteral("Learned (console or file)"),
         QStringLiteral("Differing only"), QStringLiteral("Duplicates in the file")});
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
    // Only file cells are editable; typing over one starts its editor.
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    // Fixed row heights and stretched columns: nothing has to measure 600 rows.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    messageLabel = new QLabel;
    Name(*messageLabel, "message", "Message");
    messageLabel->setWordWrap(true);
    messageLabel->hide();

    copyAction = AddTableAction(QStringLiteral("&Copy"), "copy", QKeySequence::Copy,
                                Qt::WidgetWithChildrenShortcut);
    connect(copyAction, &QAction::triggered, this, &CBaseWindow::CopySelectedRows);
    pasteAction = AddTableAction(QStringLiteral("&Paste"), "paste", QKeySequence::Paste,
                                 Qt::WidgetWithChildrenShortcut);
    connect(pasteAction, &QAction::triggered, this,
            [this] { PasteRows(QGuiApplication::clipboard()->text()); });
    clearAction = AddTableAction(QStringLiteral("C&lear file number"), "clearFileNumber",
                                 QKeySequence::Delete, Qt::WidgetWithChildrenShortcut);
    connect(clearAction, &QAction::triggered, this, &CBaseWindow::ClearSelectedRows);
    // Anywhere in the window but the find box, which keeps its own undo.
    undoAction =
        AddTableAction(QStringLiteral("&Undo"), "undo", QKeySequence::Undo, Qt::WindowShortcut);
    connect(undoAction, &QAction::triggered, &model.UndoStack(), &QUndoStack::undo);
    redoAction =
        AddTableAction(QStringLiteral("&Redo"), "redo", QKeySequence::Redo, Qt::WindowShortcut);
    redoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(redoAction, &QAction::triggered, &model.UndoStack(), &QUndoStack::redo);
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
    layout->addWidget(fileStateLabel);
    layout->addLayout(findRow);
    layout->addWidget(table, 1);
    layout->addWidget(messageLabel);
    layout->addLayout(buttonRow);
    layout->setMenuBar(CreateMenuBar());

    connect(filterList, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetFilter(CObjectBaseFilter::Filter(index)); });
    connect(findBox, &QLineEdit::textEdited, this, &CBaseWindow::FindFirst);
    connect(findBox, &QLineEdit::returnPressed, this, &CBaseWindow::FindNext);
    connect(csvButton, &QPushButton::clicked, this, &CBaseWindow::OnExportCsv);
    connect(pdfButton, &QPushButton::clicked, this, &CBaseWindow::OnExportPdf);
    connect(printButton, &QPushButton::clicked, this, &CBaseWindow::OnPrint);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    connect(&model, &CObjectBaseModel::countsChanged, this, &CBaseWindow::UpdateCounts);
    connect(&model, &CObjectBaseModel::fileTableModifiedChanged, this, &CBaseWindow::UpdateCounts);
    connect(&model, &CObjectBaseModel::fileEntryRefused, this, &CBaseWindow::OnEntryRefused);
    QUndoStack& undoStack = model.UndoStack();
    connect(&undoStack, &QUndoStack::undoTextChanged, undoAction,
            [this](const QString& text) { undoAction->setText(StepText("&Undo", text)); });
    connect(&undoStack, &QUndoStack::redoTextChanged, redoAction,
            [this](const QString& text) { redoAction->setText(StepText("&Redo", text)); });
    // A change that went through says that the refusal before it is over.
    connect(&undoStack, &QUndoStack::indexChanged, messageLabel, &QLabel::hide);
    for (auto signal : {&QUndoStack::canUndoChanged, &QUndoStack::canRedoChanged})
        connect(&undoStack, signal, this, &CBaseWindow::UpdateEditCommands);
    connect(&model, &CObjectBaseModel::editableChanged, this, &CBaseWindow::UpdateEditCommands);
    UpdateCounts();
}

// The file column's commands, and the table's, with the keys they take.
QMenuBar* CBaseWindow::CreateMenuBar() {
    auto* menuBar = new QMenuBar;
    QMenu* fileBase = menuBar->addMenu(QStringLiteral("File &base"));
    newBaseAction = AddMenuCommand(*fileBase, QStringLiteral("&New empty base"), "newEmptyBase");
    connect(newBaseAction, &QAction::triggered, &model, &CObjectBaseModel::NewEmptyBase);
    takeConsoleAction =
        AddMenuCommand(*fileBase, QStringLiteral("&Take the console's base"), "takeConsoleBase");
    connect(takeConsoleAction, &QAction::triggered, &model, &CObjectBaseModel::TakeConsoleBase);
    fileBase->addSeparator();
    importAction = AddMenuCommand(*fileBase, QStringLiteral("&Import CSV..."), "importCsv");
    connect(importAction, &QAction::triggered, this, &CBaseWindow::OnImportCsv);
    saveFileBaseAction =
        AddMenuCommand(*fileBase, QStringLiteral("&Save file base as..."), "saveFileBase");
    connect(saveFileBaseAction, &QAction::triggered, this, &CBaseWindow::OnSaveFileBaseAs);

    QMenu* edit = menuBar->addMenu(QStringLiteral("&Edit"));
    edit->addActions({undoAction, redoAction});
    edit->addSeparator();
    edit->addActions({copyAction, pasteAction, clearAction});
    return menuBar;
}

QAction* CBaseWindow::AddMenuCommand(QMenu& menu, const QString& text, const char* objectName) {
    QAction* action = menu.addAction(text);
    action->setObjectName(QString::fromLatin1(objectName));
    return action;
}

QAction* CBaseWindow::AddTableAction(const QString& text, const char* objectName,
                                     const QKeySequence& key, Qt::ShortcutContext context) {
    auto* action = new QAction(text, table);
    action->setObjectName(QString::fromLatin1(objectName));
    action->setShortcut(key);
    action->setShortcutContext(context);
    table->addAction(action);
    return action;
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
    const QList<int> objects = SelectedObjects();
    if (!objects.isEmpty())
        QGuiApplication::clipboard()->setText(ObjectBaseTabText(model, objects));
}

QList<int> CBaseWindow::SelectedObjects() const {
    QModelIndexList rows = table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QList<int> objects;
    for (const QModelIndex& row : rows)
        objects << shown.ObjectNumberAt(row.row());
    return objects;
}

bool CBaseWindow::PasteRows(const QString& text) {
    const ObjectList list = ParseObjectList(text.toStdString());
    if (!list.faults.empty() || list.assignments.empty()) {
        const QString why = list.faults.empty()
                                ? QStringLiteral("The clipboard holds no object and number.")
                                : QStringLiteral("Nothing was pasted: these lines cannot be "
                                                 "read.\n\n") +
                                      ObjectListFaultText(list.faults, listedFaults);
        QMessageBox::warning(this, QStringLiteral("Kelvarin"), why);
        return false;
    }
    const qsizetype count = qsizetype(list.assignments.size());
    return model.SetObjects(list.assignments, count == 1
                                                  ? QStringLiteral("Paste 1 object")
                                                  : QStringLiteral("Paste %1 objects").arg(count));
}

void CBaseWindow::ClearSelectedRows() {
    const QList<int> objects = SelectedObjects();
    std::vector<ObjectAssignment> cleared;
    for (int objectNumber : objects)
        cleared.push_back({objectNumber, TransmitterNumber{}});
    if (!cleared.empty())
        model.SetObjects(cleared, objects.size() == 1
                                      ? QStringLiteral("Clear object %1")
                                            .arg(QString::fromStdString(ObjectText(objects[0])))
                                      : QStringLiteral("Clear %1 objects").arg(objects.size()));
}

bool CBaseWindow::ImportCsv(const QString& path) {
    const QString fileName = QFileInfo(path).fileName();
    ObjectList list;
    QString error;
    if (!ReadObjectCsvFile(path, list, error)) {
        QMessageBox::warning(
            this, QStringLiteral("Kelvarin"),
            QStringLiteral("Cannot read file %1:\n%2").arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    const QString faults = ObjectListFaultText(list.faults, listedFaults);
    if (list.assignments.empty()) {
        QMessageBox::warning(this, QStringLiteral("Kelvarin"),
                             QStringLiteral("No object can be read from %1.").arg(fileName) +
                                 (faults.isEmpty() ? QString() : QStringLiteral("\n\n") + faults));
        return false;
    }
    QMessageBox question(
        QMessageBox::Question, QStringLiteral("Kelvarin"),
        ImportQuestion(fileName, model.Summarise(list.assignments), qsizetype(list.faults.size())),
        QMessageBox::Apply | QMessageBox::Cancel, this);
    question.setDefaultButton(QMessageBox::Apply);
    if (!list.faults.empty())
        question.setDetailedText(ObjectListFaultText(list.faults, qsizetype(list.faults.size())));
    if (question.exec() != QMessageBox::Apply)
        return false;
    return model.SetObjects(list.assignments, QStringLiteral("Import %1").arg(fileName));
}

bool CBaseWindow::SaveFileBase(const QString& path) {
    if (SaveFileBaseFile(doc, path, runFiles) != CKelvarinDoc::SaveResult::Saved)
        return false;
    model.MarkFileTableSaved();
    emit fileBaseSaved(doc.PathName());
    return true;
}

bool CBaseWindow::OnSaveFileBaseAs() {
    const QString proposal = doc.PathName().isEmpty() ? doc.Title() : doc.PathName();
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save file base as"), proposal);
    return !path.isEmpty() && SaveFileBase(path);
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

void CBaseWindow::OnImportCsv() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Import CSV"), QFileInfo(SuggestedPath(".csv")).path(),
        QStringLiteral("CSV files (*.csv *.txt);;All Files (*)"));
    if (!path.isEmpty())
        ImportCsv(path);
}

// At the cell, where the eyes are, and below the table for as long as it holds.
void CBaseWindow::OnEntryRefused(const QModelIndex& sourceIndex, const QString& reason) {
    messageLabel->setText(reason);
    messageLabel->show();
    const QRect cell = table->visualRect(shown.mapFromSource(sourceIndex));
    QToolTip::showText(table->viewport()->mapToGlobal(cell.bottomLeft()), reason, table->viewport(),
                       cell, toolTipMs);
}

void CBaseWindow::UpdateCounts() {
    countsLabel->setText(CountsText(model));
    QString state =
        QStringLiteral("Duplicates in the file: %1").arg(model.CountObjects().duplicatesInFile);
    if (model.IsFileTableModified())
        state += QStringLiteral("    File column: unsaved changes");
    fileStateLabel->setText(state);
    UpdateEditCommands();
}

void CBaseWindow::UpdateEditCommands() {
    const bool editable = model.IsEditable();
    for (QAction* command : {newBaseAction, importAction, pasteAction, clearAction})
        command->setEnabled(editable);
    takeConsoleAction->setEnabled(editable && model.CanTakeConsoleBase());
    saveFileBaseAction->setEnabled(editable && model.ObjectBase().fileBaseLoaded);
    undoAction->setEnabled(editable && model.UndoStack().canUndo());
    redoAction->setEnabled(editable && model.UndoStack().canRedo());
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
