#include "base/BaseFileCodec.h"
#include "base/CKelvarinDoc.h"
#include "base/FileTableFiles.h"
#include "base/NativePath.h"
#include "common/CoreTestMain.h"
#include "common/FileIdentity.h"

#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString loadedText = QStringLiteral("Загружен файл базы объектов ПЦН VX-418");
const QString refusedText = QStringLiteral("Невозможно сохранить файл, загрузите базу из ПЦН");
const QString formatText = QStringLiteral("Unexpected file format.");

// Keeps what the document told, in order: what a front end shows in its boxes.
class CBoxAnswerer : public QObject {
public:
    explicit CBoxAnswerer(CKelvarinDoc& doc) {
        connect(&doc, &CKelvarinDoc::reported, this,
                [this](CKelvarinDoc::Report, const QString& text) { texts.append(text); });
    }

    QStringList texts;
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

// Puts something other than a regular file at path; a device reads as zeros. False
// where the system does not allow it.
const QStringList nodeKinds{"fifo", "device", "socket", "link to fifo"};
bool MakeNode(const QString& kind, const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("fifo"))
        return ::mkfifo(name.constData(), 0666) == 0;
    if (kind == QLatin1String("device"))
        return ::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 5)) == 0;
    if (kind == QLatin1String("link to fifo"))
        return MakeNode(QStringLiteral("fifo"), path + ".fifo") &&
               QFile::link(path + ".fifo", path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, name.constData(), sizeof address.sun_path - 1);
    const int handle = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = ::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(handle);
    return bound;
}

QByteArray Utf16WithMark(const QString& text) {
    QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return encoder(text);
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
    void saveThroughALinkKeepsTheLink();
    void saveInALockedFolder_data();
    void saveInALockedFolder();
    void saveWritesDeviceTableNotLoadedFile();
    void loadFillsFileTableOnly();
    void loadSizes_data();
    void loadSizes();
    void loadUnreadable_data();
    void loadUnreadable();
    void reopenCurrentPath();
    void newDocument();
    void nativePathsKeepTheirBytes_data();
    void nativePathsKeepTheirBytes();
    void readObjectCsv_data();
    void readObjectCsv();
    void saveFileBase();

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
    boxes = std::make_unique<CBoxAnswerer>(*doc);
}

void TestKelvarinDoc::cleanup() {
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
    const QString identity = Identity(QFile::encodeName(path));

    QCOMPARE(doc->SaveDocument(path), CKelvarinDoc::SaveResult::Refused);

    QCOMPARE(boxes->texts, QStringList{refusedText});
    QCOMPARE(QFile::exists(path), fileExists);
    if (fileExists)
        QCOMPARE(ReadFile(path), oldContents);
    // Not even rewritten with the same bytes.
    QCOMPARE(Identity(QFile::encodeName(path)), identity);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden).size(), fileExists ? 1 : 0);
    QVERIFY(base->fileTable == MarkedTable());
    QVERIFY(base->deviceTable == deviceBefore);
    QCOMPARE(base->fileBaseLoaded, 0);
    QCOMPARE(base->deviceBaseComplete, 0);
    QCOMPARE(doc->Title(), QStringLiteral("Untitled"));
    QCOMPARE(titles.count(), 0);
}

void TestKelvarinDoc::saveFailure_data() {
    QTest::addColumn<QString>("target"); // in the temporary folder; one of nodeKinds is made
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder") << QString("missing/base.bin") << QString();
    QTest::newRow("under a regular file") << QString("plain.bin/base.bin") << QString();
    QTest::newRow("a folder") << QString("folder") << QString("folder");
    QTest::newRow("a FIFO") << QString("fifo") << QString("named pipe");
    QTest::newRow("a device") << QString("device") << QString("character device");
    QTest::newRow("a socket") << QString("socket") << QString("socket");
    QTest::newRow("a link to a FIFO") << QString("link to fifo") << QString("named pipe");
}

void TestKelvarinDoc::saveFailure() {
    QFETCH(QString, target);
    QFETCH(QString, reason);
    // The document already has a file of its own, loaded earlier.
    const QString ownPath = FilePath("plain.bin");
    QVERIFY(WriteFile(ownPath, FileImage(MarkedTable())));
    QCOMPARE(doc->OpenDocument(ownPath), CKelvarinDoc::OpenResult::Opened);
    QVERIFY(QDir(dir->path()).mkdir("folder"));
    boxes->texts.clear();
    ReadWholeBase(*base, 9);
    const CObjectBase before = *base;
    // A node is named so that the reason cannot be read off its name.
    const bool node = nodeKinds.contains(target);
    const QString path = FilePath(node ? QStringLiteral("node") : target);
    if (node && !MakeNode(target, path))
        QSKIP("this system does not let the test make the node");
    const QString identity = Identity(QFile::encodeName(path));

    QCOMPARE(doc->SaveDocument(path), CKelvarinDoc::SaveResult::Failed);

    QCOMPARE(boxes->texts.size(), 1);
    QVERIFY2(boxes->texts.first().contains(QDir::toNativeSeparators(path)) &&
                 boxes->texts.first().contains(reason),
             qPrintable(boxes->texts.first()));
    QCOMPARE(Identity(QFile::encodeName(path)), identity);
    QVERIFY(boxes->texts.first() != loadedText);
    QVERIFY(base->fileTable == before.fileTable);
    QVERIFY(base->deviceTable == before.deviceTable);
    QCOMPARE(base->fileBaseLoaded, before.fileBaseLoaded);
    QCOMPARE(base->deviceBaseComplete, 1);
    QCOMPARE(ReadFile(ownPath), FileImage(MarkedTable()));
    QVERIFY(QFileInfo(FilePath("folder")).isDir());
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks),
             QStringList{"plain.bin"}); // no temporary file left over
    QCOMPARE(doc->Title(), QStringLiteral("plain.bin"));
}

void TestKelvarinDoc::saveThroughALinkKeepsTheLink() {
    ReadWholeBase(*base, 5);
    const QString target = FilePath("base.bin");
    QVERIFY(WriteFile(target, FileImage(MarkedTable())));
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QFile::link(QStringLiteral("base.bin"), FilePath("link.bin")));

    QCOMPARE(doc->SaveDocument(FilePath("link.bin")), CKelvarinDoc::SaveResult::Saved);

    QCOMPARE(QFileInfo(FilePath("link.bin")).symLinkTarget(), target);
    QCOMPARE(ReadFile(target), FileImage(base->deviceTable));
    QCOMPARE(QFile::permissions(target),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

void TestKelvarinDoc::saveInALockedFolder_data() {
    QTest::addColumn<bool>("complete");
    QTest::newRow("complete base: rewritten in place") << true;
    QTest::newRow("no complete base: untouched") << false;
}

// A file the user may write in a folder the user may not: no file can be made beside
// it, so it is rewritten where it stands.
void TestKelvarinDoc::saveInALockedFolder() {
    QFETCH(bool, complete);
    ReadWholeBase(*base, 7);
    base->deviceBaseComplete = complete ? 1 : 0;
    const QString path = FilePath("locked/base.bin");
    QVERIFY(QDir(dir->path()).mkdir("locked"));
    QVERIFY(WriteFile(path, FileImage(MarkedTable())));
    for (const auto& [name, mode] :
         {std::pair{dir->path(), 0755}, {path, 0666}, {FilePath("locked"), 0555}})
        QCOMPARE(::chmod(QFile::encodeName(name).constData(), mode), 0);
    const QString identity = Identity(QFile::encodeName(path));

    // Root may write anywhere; the file system then checks as nobody.
    const bool asNobody = ::geteuid() == 0;
    if (asNobody)
        ::setfsuid(65534);
    const auto result = doc->SaveDocument(path);
    if (asNobody)
        ::setfsuid(0);
    ::chmod(QFile::encodeName(FilePath("locked")).constData(), 0755);

    QCOMPARE(result,
             complete ? CKelvarinDoc::SaveResult::Saved : CKelvarinDoc::SaveResult::Refused);
    QCOMPARE(ReadFile(path), FileImage(complete ? base->deviceTable : MarkedTable()));
    QCOMPARE(QDir(FilePath("locked")).entryList(QDir::Files | QDir::Hidden),
             QStringList{"base.bin"});
    if (!complete)
        QCOMPARE(Identity(QFile::encodeName(path)), identity);
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
    QTest::addColumn<QString>("target"); // in the temporary folder; one of nodeKinds is made
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << QString("missing.bin") << QString();
    QTest::newRow("under a regular file") << QString("previous/base.bin") << QString();
    QTest::newRow("a folder") << QString("folder") << QString("folder");
    // Opening would wait for a writer for good, or load zeros from a device.
    QTest::newRow("a FIFO") << QString("fifo") << QString("named pipe");
    QTest::newRow("a device") << QString("device") << QString("character device");
    QTest::newRow("a socket") << QString("socket") << QString("socket");
    QTest::newRow("a link to a FIFO") << QString("link to fifo") << QString("named pipe");
}

void TestKelvarinDoc::loadUnreadable() {
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QVERIFY(WriteFile(FilePath("previous"), {}));
    QCOMPARE(doc->OpenDocument(FilePath("previous")), CKelvarinDoc::OpenResult::Opened);
    QVERIFY(QDir(dir->path()).mkdir("folder"));
    base->fileTable = MarkedTable();
    // A node is named so that the reason cannot be read off its name.
    const bool node = nodeKinds.contains(target);
    const QString path = FilePath(node ? QStringLiteral("node") : target);
    if (node && !MakeNode(target, path))
        QSKIP("this system does not let the test make the node");

    QCOMPARE(doc->OpenDocument(path), CKelvarinDoc::OpenResult::Failed);

    QCOMPARE(boxes->texts.size(), 1);
    QVERIFY2(boxes->texts.first().contains(QDir::toNativeSeparators(path)) &&
                 boxes->texts.first().contains(reason),
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

void TestKelvarinDoc::nativePathsKeepTheirBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("text");
    QTest::newRow("ASCII") << QByteArray("/tmp/base.bin") << true;
    QTest::newRow("Cyrillic") << QByteArray("/tmp/\xd0\xb1\xd0\xb0\xd0\xb7\xd0\xb0") << true;
    QTest::newRow("Latin-1 byte") << QByteArray("/tmp/b\xe4.bin") << false;
    QTest::newRow("overlong slash") << QByteArray("/tmp/\xc0\xaf.bin") << false;
    QTest::newRow("encoded surrogate") << QByteArray("/tmp/\xed\xa0\x80") << false;
}

void TestKelvarinDoc::nativePathsKeepTheirBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, text);
    const QString path = PathFromNative(bytes);
    QCOMPARE(NativePath(path), bytes);
    QCOMPARE(IsTextPath(path), text);
    if (text)
        QCOMPARE(path, QFile::decodeName(bytes));
}

void TestKelvarinDoc::readObjectCsv_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("assigned"); // "007=034.012"; "008=" for not learned
    QTest::addColumn<QList<int>>("faultLines");
    QTest::addColumn<QString>("firstFault"); // found in the first fault's line or reason
    const QList<int> none;
    QTest::newRow("comma, LF") << QByteArray("7,034.012\n8,1.2\n")
                               << QStringList{"007=034.012", "008=001.002"} << none << "";
    QTest::newRow("Windows-1251 header, semicolon, CR LF")
        << QByteArray("\xce\xe1\xfa\xe5\xea\xf2;\xcd\xee\xec\xe5\xf0\r\n7;34.12\r\n")
        << QStringList{"007=034.012"} << none << "";
    QTest::newRow("Windows-1251 in a bad line")
        << QByteArray("7;34.12\r\n8;\xed\xe5\xf2\r\n") << QStringList{"007=034.012"}
        << QList<int>{2} << "нет";
    QTest::newRow("UTF-8 without a mark") << QByteArray("7,1.2\n8,\xd0\xbd\xd0\xb5\xd1\x82\n")
                                          << QStringList{"007=001.002"} << QList<int>{2} << "нет";
    QTest::newRow("UTF-8 with a mark, no header") << QByteArray("\xef\xbb\xbf"
                                                                "7,1.2\n")
                                                  << QStringList{"007=001.002"} << none << "";
    QTest::newRow("UTF-16 with a mark, tabs")
        << Utf16WithMark("Объект\tНомер\r\n7\t1.2\r\n") << QStringList{"007=001.002"} << none << "";
    QTest::newRow("as Export CSV writes it")
        << QByteArray("object,console,file,differs\r\n007,not read,100.007,no\r\n"
                      "008,100.008,,yes\r\n009,100.009,no file,no\r\n")
        << QStringList{"007=100.007", "008="} << QList<int>{4} << "no file";
    QTest::newRow("rows as Ctrl+C copies them")
        << QByteArray("001\t100.007\t100.008\tyes\n002\t100.002\t\tno\n")
        << QStringList{"001=100.008", "002="} << none << "";
    QTest::newRow("file column named elsewhere") << QByteArray("Object;File;Console\n7;1.2;3.4\n")
                                                 << QStringList{"007=001.002"} << none << "";
    QTest::newRow("quoted") << QByteArray("\"7\";\"034.012\"\n\"8\";\"\"\n")
                            << QStringList{"007=034.012", "008="} << none << "";
    QTest::newRow("blank lines and empty rows")
        << QByteArray(";;\n\n 7 ; 1.2 \n;;;\n") << QStringList{"007=001.002"} << none << "";
    QTest::newRow("CR line ends") << QByteArray("7,1.1\r8,1.2\r")
                                  << QStringList{"007=001.001", "008=001.002"} << none << "";
    QTest::newRow("an object twice")
        << QByteArray("7,1.1\n7,1.2\n") << QStringList{"007=001.001"} << QList<int>{2} << "line 1";
    QTest::newRow("decimal comma")
        << QByteArray("7;34,12\n") << QStringList{} << QList<int>{1} << "34,12";
    QTest::newRow("bad lines") << QByteArray("0,1.1\n601,1.1\n7,34,12\n7\nx,1.1\n8,256.1\n9;1\n")
                               << QStringList{} << QList<int>{1, 2, 3, 4, 5, 6, 7} << "0";
}

void TestKelvarinDoc::readObjectCsv() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, assigned);
    QFETCH(QList<int>, faultLines);
    QFETCH(QString, firstFault);
    const QString path = FilePath("objects.csv");
    QVERIFY(WriteFile(path, bytes));
    ObjectList list;
    QString error;
    QVERIFY2(ReadObjectCsvFile(path, list, error), qPrintable(error));

    ObjectTable table = EmptyFileTable();
    ApplyAssignments(table, list.assignments);
    QStringList records;
    for (int n = 1; n <= objectCount; ++n)
        if (std::any_of(list.assignments.begin(), list.assignments.end(),
                        [n](const ObjectAssignment& a) { return a.objectNumber == n; }))
            records << QString::fromStdString(
                ObjectText(n) + '=' +
                (IsLearned(uint8_t(table[n].byte1), uint8_t(table[n].byte2))
                     ? TransmitterText(uint8_t(table[n].byte1), uint8_t(table[n].byte2))
                     : std::string()));
    QCOMPARE(records, assigned);
    QList<int> lines;
    for (const ObjectListFault& fault : list.faults)
        lines << fault.line;
    QCOMPARE(lines, faultLines);
    if (!firstFault.isEmpty()) {
        const QString told =
            QString::fromStdString(list.faults[0].text + ' ' + list.faults[0].reason);
        QVERIFY2(told.contains(firstFault), qPrintable(told));
    }
}

// The file column as it is, cut to what reaches the console, under the document's name.
void TestKelvarinDoc::saveFileBase() {
    const QString path = FilePath("prepared");
    QCOMPARE(doc->SaveFileBase(path), CKelvarinDoc::SaveResult::Refused);
    QVERIFY(!QFile::exists(path));

    base->fileTable = MarkedTable();
    base->fileBaseLoaded = 1;
    QCOMPARE(doc->SaveFileBase(path), CKelvarinDoc::SaveResult::Saved);
    ObjectTable expected{};
    for (int n = 1; n <= objectCount; ++n)
        expected[n] = {n, (1000 + n) & 0xFF, (2000 + n) & 0xFF};
    QCOMPARE(ReadFile(path), FileImage(expected));
    QCOMPARE(doc->Title(), QStringLiteral("prepared"));
    QVERIFY(doc->IsOpen(dir->path() + "/./prepared"));
    QCOMPARE(boxes->texts.last(), loadedText);
}

KELVARIN_CORE_TEST_MAIN(TestKelvarinDoc)
#include "tst_KelvarinDoc.moc"
