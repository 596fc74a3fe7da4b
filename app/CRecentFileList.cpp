#include "app/CRecentFileList.h"

#include <QDir>
#include <QSettings>

namespace {

const QString recentSection = QStringLiteral("Recent File List");

QString EntryKey(int number) {
    return QStringLiteral("File%1").arg(number);
}

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity pathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity pathCase = Qt::CaseSensitive;
#endif

} // namespace

void CRecentFileList::Add(const QString& path) {
    Remove(path);
    entries.prepend(path);
    while (entries.size() > maxEntries)
        entries.removeLast();
}

void CRecentFileList::Remove(const QString& path) {
    entries.removeIf([&](const QString& entry) { return entry.compare(path, pathCase) == 0; });
}

void CRecentFileList::Read(QSettings& profile) {
    entries.clear();
    profile.beginGroup(recentSection);
    for (int number = 1; number <= maxEntries; ++number) {
        const QString path = profile.value(EntryKey(number)).toString();
        if (!path.isEmpty())
            entries.append(path);
    }
    profile.endGroup();
}

void CRecentFileList::Write(QSettings& profile) const {
    profile.remove(recentSection);
    if (entries.isEmpty())
        return;
    profile.beginGroup(recentSection);
    for (int i = 0; i < entries.size(); ++i)
        profile.setValue(EntryKey(i + 1), entries[i]);
    profile.endGroup();
}

QString AbbreviatePath(const QString& path, int maxLength) {
    const QString native = QDir::toNativeSeparators(path);
    if (native.size() <= maxLength)
        return native;

    const QChar separator = QDir::separator();
    const int nameStart = native.lastIndexOf(separator) + 1;
    const QString name = native.mid(nameStart);
    const QString ellipsis = QStringLiteral("...");
    if (name.size() > maxLength)
        return name.left(maxLength - ellipsis.size()) + ellipsis;

    // The root is everything up to the first separator after a drive or share
    // prefix: "/" here, "C:\" or "\\server\" on Windows.
    int rootEnd = native.indexOf(separator, native.startsWith(QString(2, separator)) ? 2 : 0);
    const QString root = native.left(rootEnd + 1);
    // Drop leading folders until root + "..." + the rest fits.
    for (int cut = native.indexOf(separator, rootEnd + 1); cut >= 0 && cut < nameStart;
         cut = native.indexOf(separator, cut + 1)) {
        const QString shortened = root + ellipsis + native.mid(cut);
        if (shortened.size() <= maxLength)
            return shortened;
    }
    return name;
}
