#include "base/BaseFileCodec.h"
#include "base/CKelvarinDoc.h"
#include "common/TestMain.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

const QString loadedText = QStringLiteral("Загружен файл базы объектов ПЦН VX-418");
const QString refusedText = QStringLiteral("Невозможно сохранить файл, загрузите базу из ПЦН");
const QString formatText = QStringLiteral("Unexpected file format.");

// Presses OK on every message box that comes up, after noting what it said.
// Each box is checked for its caption, icon and buttons here, once for all tests.
class CBoxAnswerer : public QObject {
public:
    CBoxAnswerer() {
        timer.setInterval(5);
        connect(&timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            texts.append(box->text());
            if (box->windowTitle() != QStringLiteral("Kelvarin") ||
                box->icon() != QMessageBox::Warning || box->standardButtons() != QMessageBox::Ok ||
                !box->isModal())
                badBoxes.append(box->text());
            box->button(QMessageBox::Ok)->click();
        });
        timer.start();
    }

    QStringList texts;
    QStringList badBoxes;

private:
    QTimer timer;
};

// A base read the way the exchange makes one: all 60 blocks through StoreBlock.
void ReadWholeBase(CObjectBase& base, uint8_t seed) {
    for (int block = 0; block < blockCount; ++block) {
        Telegram rxTelegram = BlankTelegram('B');
        for (int i = 3; i <= 22; ++i)
            rxTelegram[i] = uint8_t(seed + block * 20 + i);
        base.StoreBlock(uint8_t(block), rxTelegram);
    }
    base.deviceBaseComplete = 1;
}

ObjectTable MarkedTable() {
    ObjectTable table;
    for (int k = 0; k < objectTableSize; ++k)
        table[k] = {-k, 1000 + k, 2000 + k};
    return table;
}

QByteArray FileImage(const ObjectTable& table) {
    const BaseFileBytes bytes = EncodeBaseFile(table);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool WriteFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SameEntries(const ObjectTable& a, const ObjectTable& b) {
    return std::equal(a.begin(), a.begin() + objectCount + 1, b.begin());
}

} // namespace

class TestKelvarinDoc : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void saveAfterCompleteRead();
    void saveRefused_data();
    void saveRefused();
    void saveFailure_data();
    void saveFailure();
    void saveWritesDeviceTableNotLoadedFile();
    void loadFillsFileTableOnly();
    void loadSizes_data();
    void loadSizes();
    void loadUnreadable_data();
    void loadUnreadable();
    void reopenCurrentPath();
    void newDocument();

private:
    QString FilePath(const QString& name) const { return dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<CObjectBase> base;
    std::unique_ptr<CKelvarinDoc> doc;
    std::unique_ptr<CBoxAnswerer> boxes;
};

void TestKelvarinDoc::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    base = std::make_unique<CObjectBase>();
    doc = std::make_unique<CKelvarinDoc>(*base);
    boxes = std::make_unique<CBoxAnswerer>();
}

void TestKelvarinDoc::cleanup() {
    QVERIFY2(boxes->badBoxes.isEmpty(), qPrintable(boxes->badBoxes.join(", ")));
    boxes.reset();
    doc.reset();
    base.reset();
    dir.reset();
}

void TestKelvarinDoc::saveAfterCompleteRead() {
    ReadWholeBase(*base, 0x80);
    const QString path = FilePath("base.bin");
    QSignalSpy titles(doc.get(), &CKelvarinDoc::titleChanged);

    QCOMPARE(doc->SaveDocument(path), CKelvarinDoc::SaveResult::Saved);

    QCOMPARE(boxes->texts, QStringList{loadedText});
    const QByteArray data = ReadFile(path);
    QCOMPARE(data.size(), 7212);
    QCOMPARE(data.left(12), QByteArray(12, '\0'));
    ObjectTable stored{};
    QVERIFY(DecodeBaseFile({reinterpret_cast<const uint8_t*>(data.constData()), 7212}, stored));
    for (int k = 1; k <= objectCount; ++k) {
        QCOMPARE(stored[k].number, k);
        QVERIFY(stored[k].byte1 >= 0 && stored[k].byte1 <= 255);
        QCOMPARE(stored[k], base->deviceTable[k]);
    }
    QVERIFY(SameEntries(base->fileTable, base->deviceTable));
    QCOMPARE(base->fileBaseLoaded, 1);
    QCOMPARE(doc->Title(), QStringLiteral("base.bin"));
    QCOMPARE(doc->PathName(), QFileInfo(path).absoluteFilePath());
    QCOMPARE(titles.count(), 1);
    QCOMPARE(titles.first().first().toString(), QStringLiteral("base.bin"));
}

void TestKelvarinDoc::saveRefused_data() {
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<bool>("partialRead"); // a later read that stopped part-way
    QTest::newRow("no read, new file") << false << false;
    QTest::newRow("no read, existing file") << true << false;
    QTest::newRow("read broken off, existing file") << true << true;
}

void TestKelvarinDoc::saveRefused() {
    QFETCH(bool, fileExists);
    QFETCH(bool, partialRead);
    const QString path = FilePath("old.bin");
    const QByteArray oldContents = FileImage(MarkedTable());
    if (fileExists)
        QVERIFY(WriteFile(path, oldContents));
    if (partialRead) {
        ReadWholeBase(*base, 1);
        base->deviceBaseComplete = 0;
    }
    base->fileTable = MarkedTable();
    const ObjectTable deviceBefore = base->deviceTable;
    QSignalSpy titles(doc.get(), &CKelvarinDoc::titleChanged);

    QCOMPARE(doc->SaveDocument(path), CKelvarinDoc::SaveResult::Refused);

    QCOMPARE(boxes->texts, QStringList{refusedText});
    QCOMPARE(QFile::exists(path), fileExists);
    if (fileExists)
        QCOMPARE(ReadFile(path), oldContents);
    QCOMPARE(dir->path(), QFileInfo(path).absolutePath());
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden).size(), fileExists ? 1 : 0);
    QVERIFY(base->fileTable == MarkedTable());
    QVERIFY(base->deviceTable == deviceBefore);
    QCOMPARE(base->fileBaseLoaded, 0);
    QCOMPARE(base->deviceBaseComplete, 0);
    QCOMPARE(doc->Title(), QStringLiteral("Untitled"));
    QCOMPARE(titles.count(), 0);
}

void TestKelvarinDoc::saveFailure_data() {
    QTest::addColumn<QString>("target"); // relative to the temporary folder
    QTest::newRow("missing folder") << "missing/base.bin";
    QTest::newRow("under a regular file") << "plain.bin/base.bin";
    QTest::newRow("a folder") << "folder";
}

void TestKelvarinDoc::saveFailure() {
    QFETCH(QString, target);
    // The document already has a file of its own, loaded earlier.
    const QString ownPath = FilePath("plain.bin");
    QVERIFY(WriteFile(ownPath, FileImage(MarkedTable())));
    QCOMPARE(doc->OpenDocument(ownPath), CKelvarinDoc::OpenResult::Opened);
    QVERIFY(QDir(dir->path()).mkdir("folder"));
    boxes->texts.clear();
    ReadWholeBase(*base, 9);
    const CObjectBase before = *base;
    const QString path = FilePath(target);

    QCOMPARE(doc->SaveDocument(path), CKelvarinDoc::SaveResult::Failed);

    QCOMPARE(boxes->texts.size(), 1);
    QVERIFY2(boxes->texts.first().contains(QDir::toNativeSeparators(path)),
             qPrintable(boxes->texts.first()));
    QVERIFY(boxes->texts.first() != loadedText);
    QVERIFY(base->fileTable == before.fileTable);
    QVERIFY(base->deviceTable == before.deviceTable);
    QCOMPARE(base->fileBaseLoaded, before.fileBaseLoaded);
    QCOMPARE(base->deviceBaseComplete, 1);
    QCOMPARE(ReadFile(ownPath), FileImage(MarkedTable()));
    QVERIFY(QFileInfo(FilePath("folder")).isDir());
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"plain.bin"}); // no temporary file left over
    QCOMPARE(doc->Title(), QStringLiteral("plain.bin"));
}

void TestKelvarinDoc::saveWritesDeviceTableNotLoadedFile() {
    ReadWholeBase(*base, 0x11);
    const ObjectTable deviceBefore = base->deviceTable;
    const QString loadedPath = FilePath("loaded.bin");
    QVERIFY(WriteFile(loadedPath, FileImage(MarkedTable())));
    QCOMPARE(doc->OpenDocument(loadedPath), CKelvarinDoc::OpenResult::Opened);

    // Saving over the loaded file itself replaces it with the console's base.
    QCOMPARE(doc->SaveDocument(loadedPath), CKelvarinDoc::SaveResult::Saved);

    QCOMPARE(boxes->texts, (QStringList{loadedText, loadedText}));
    QCOMPARE(ReadFile(loadedPath), FileImage(deviceBefore));
    QVERIFY(SameEntries(base->fileTable, deviceBefore));
    QVERIFY(base->deviceTable == deviceBefore);
}

void TestKelvarinDoc::loadFillsFileTableOnly() {
    ReadWholeBase(*base, 0x40);
    const ObjectTable deviceBefore = base->deviceTable;
    ObjectTable source = MarkedTable();
    source[0] = {77, 88, 99}; // record 0 loads like the rest and changes nothing else
    source[1] = {1, 321, 12};
    const QString path = FilePath("loaded.bin");
    QVERIFY(WriteFile(path, FileImage(source)));
    QSignalSpy titles(doc.get(), &CKelvarinDoc::titleChanged);

    QCOMPARE(doc->OpenDocument(path), CKelvarinDoc::OpenResult::Opened);

    QCOMPARE(boxes->texts, QStringList{loadedText});
    QVERIFY(SameEntries(base->fileTable, source));
    QCOMPARE(base->fileBaseLoaded, 1);
    QVERIFY(base->deviceTable == deviceBefore);
    QCOMPARE(base->deviceBaseComplete, 1);
    QCOMPARE(doc->Title(), QStringLiteral("loaded.bin"));
    QCOMPARE(titles.count(), 1);

    Telegram txTelegram = BlankTelegram('W');
    base->ReadBlock(0, txTelegram);
    QCOMPARE(int(txTelegram[3]), 65);
    QCOMPARE(int(txTelegram[4]), 12);

    // The base read earlier can still be saved after the load.
    QCOMPARE(doc->SaveDocument(FilePath("saved.bin")), CKelvarinDoc::SaveResult::Saved);
    QCOMPARE(ReadFile(FilePath("saved.bin")), FileImage(deviceBefore));
}

void TestKelvarinDoc::loadSizes_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("message");
    QTest::newRow("0 bytes") << 0 << true << QString();
    QTest::newRow("1 byte") << 1 << false << formatText;
    QTest::newRow("7211 bytes") << 7211 << false << formatText;
    QTest::newRow("7212 bytes") << 7212 << true << loadedText;
    QTest::newRow("7213 bytes") << 7213 << true << loadedText;
    QTest::newRow("twice the size") << 14424 << true << loadedText;
}

void TestKelvarinDoc::loadSizes() {
    QFETCH(int, size);
    QFETCH(bool, opened);
    QFETCH(QString, message);
    // A document with a name of its own, so that a failure visibly drops it.
    QVERIFY(WriteFile(FilePath("previous"), {}));
    QCOMPARE(doc->OpenDocument(FilePath("previous")), CKelvarinDoc::OpenResult::Opened);
    QCOMPARE(doc->Title(), QStringLiteral("previous"));
    const ObjectTable fileBefore = MarkedTable();
    base->fileTable = fileBefore;
    ObjectTable source{};
    for (int k = 0; k <= objectCount; ++k)
        source[k] = {k, k % 256, 255 - k % 256};
    QByteArray data = FileImage(source);
    data = size <= data.size() ? data.left(size) : data + QByteArray(size - data.size(), '\x7F');
    const QString path = FilePath("sized.bin");
    QVERIFY(WriteFile(path, data));

    const auto result = doc->OpenDocument(path);

    QCOMPARE(result, opened ? CKelvarinDoc::OpenResult::Opened : CKelvarinDoc::OpenResult::Failed);
    QCOMPARE(boxes->texts, message.isEmpty() ? QStringList() : QStringList{message});
    const bool loads = message == loadedText;
    QCOMPARE(base->fileBaseLoaded, loads ? 1 : 0);
    QVERIFY(SameEntries(base->fileTable, loads ? source : fileBefore));
    QCOMPARE(base->fileTable[objectCount + 1], fileBefore[objectCount + 1]);
    QCOMPARE(doc->Title(), opened ? QStringLiteral("sized.bin") : QStringLiteral("Untitled"));
    QCOMPARE(doc->PathName().isEmpty(), !opened);
}

void TestKelvarinDoc::loadUnreadable_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("missing file") << "missing.bin";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("under a regular file") << "previous/base.bin";
}

void TestKelvarinDoc::loadUnreadable() {
    QFETCH(QString, target);
    QVERIFY(WriteFile(FilePath("previous"), {}));
    QCOMPARE(doc->OpenDocument(FilePath("previous")), CKelvarinDoc::OpenResult::Opened);
    QVERIFY(QDir(dir->path()).mkdir("folder"));
    base->fileTable = MarkedTable();
    const QString path = FilePath(target);

    QCOMPARE(doc->OpenDocument(path), CKelvarinDoc::OpenResult::Failed);

    QCOMPARE(boxes->texts.size(), 1);
    QVERIFY2(boxes->texts.first().contains(QDir::toNativeSeparators(path)),
             qPrintable(boxes->texts.first()));
    QVERIFY(base->fileTable == MarkedTable());
    QCOMPARE(base->fileBaseLoaded, 0);
    // Nothing was read, so the document keeps the file it had.
    QCOMPARE(doc->Title(), QStringLiteral("previous"));
}

void TestKelvarinDoc::reopenCurrentPath() {
    const QString path = FilePath("base.bin");
    QVERIFY(WriteFile(path, FileImage(MarkedTable())));
    QCOMPARE(doc->OpenDocument(path), CKelvarinDoc::OpenResult::Opened);
    QVERIFY(QFile::link(path, FilePath("link.bin")));
    QVERIFY(WriteFile(path, FileImage(ObjectTable{}))); // changed on disk meanwhile
    boxes->texts.clear();

    for (const QString& spelling : {path, dir->path() + "/./base.bin", FilePath("link.bin")})
        QCOMPARE(doc->OpenDocument(spelling), CKelvarinDoc::OpenResult::AlreadyOpen);

    QVERIFY(boxes->texts.isEmpty());
    QVERIFY(SameEntries(base->fileTable, MarkedTable()));
    QCOMPARE(doc->Title(), QStringLiteral("base.bin"));
}

void TestKelvarinDoc::newDocument() {
    const QString path = FilePath("base.bin");
    QVERIFY(WriteFile(path, FileImage(MarkedTable())));
    QCOMPARE(doc->OpenDocument(path), CKelvarinDoc::OpenResult::Opened);
    ReadWholeBase(*base, 3);
    const CObjectBase before = *base;
    QSignalSpy titles(doc.get(), &CKelvarinDoc::titleChanged);

    doc->OnNewDocument();

    QCOMPARE(doc->Title(), QStringLiteral("Untitled"));
    QVERIFY(doc->PathName().isEmpty());
    QCOMPARE(titles.count(), 1);
    QCOMPARE(titles.first().first().toString(), QStringLiteral("Untitled"));
    QVERIFY(base->fileTable == before.fileTable);
    QVERIFY(base->deviceTable == before.deviceTable);
    QCOMPARE(base->fileBaseLoaded, 1);
    QCOMPARE(base->deviceBaseComplete, 1);

    // Untitled again, the same file opens and loads anew.
    boxes->texts.clear();
    QCOMPARE(doc->OpenDocument(path), CKelvarinDoc::OpenResult::Opened);
    QCOMPARE(boxes->texts, QStringList{loadedText});
}

KELVARIN_TEST_MAIN(TestKelvarinDoc)
#include "tst_KelvarinDoc.moc"
