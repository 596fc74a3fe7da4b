#pragma once

#include <QString>
#include <QStringList>

class QSettings;

// The File menu's list of recently opened or saved base files, most recent first,
// kept in the profile's "Recent File List" section as File1..File9.
class CRecentFileList {
public:
    static constexpr int maxEntries = 9;
    static constexpr int displayLength = 30;

    // To the top of the list; a path already listed moves up instead of doubling.
    void Add(const QString& path);
    void Remove(const QString& path);
    const QStringList& Entries() const { return entries; }
    bool IsEmpty() const { return entries.isEmpty(); }

    void Read(QSettings& profile);
    // Replaces the section by the entries; an empty list leaves no section at all.
    void Write(QSettings& profile) const;

private:
    QStringList entries;
};

// A path cut to at most maxLength characters for a menu: the root, "...", and as
// many trailing folders as fit before the file name ("/.../base/objects.bin"); just
// the file name when nothing else fits, itself cut with "..." if still too long.
QString AbbreviatePath(const QString& path, int maxLength);
