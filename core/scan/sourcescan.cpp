#include "core/scan/sourcescan.h"

#include "core/base/pathhelpers.h"
#include "core/media/extensions.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringBuilder>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

QStringList knownMediaExtensions()
{
    QStringList extensions;
    for (const ExtensionFacts &row : extensionTable()) {
        if (row.scanned)
            extensions.append(QString::fromUtf16(row.extension).toUpper());
    }
    return extensions;
}

bool isFileEntry(const QString &text)
{
    // A dot in a folder above the entry (/home/j.doe/Footage, /media/backup.2024/CARD) says
    // nothing of what the entry is.
    QStringView name(text);
    while (name.endsWith(u'/'))
        name.chop(1);
    return name.mid(name.lastIndexOf(u'/') + 1).contains(u'.');
}

QString entryPath(const QString &text)
{
    return text.startsWith(QLatin1String("file")) ? text.mid(8) : text;
}

namespace {

// Whether the entry of an open folder is a regular file and whether it is a folder to
// enter. Links are followed to find a file, never to enter a folder.
void entryKind(DIR *dir, const dirent *entry, bool &file, bool &folder)
{
    unsigned char type = entry->d_type;
    struct stat info {};
    if (type == DT_UNKNOWN) {
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            type = DT_UNKNOWN;
        else if (S_ISLNK(info.st_mode))
            type = DT_LNK;
        else
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    if (type == DT_LNK)
        type = fstatat(dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode)
                   ? DT_REG
                   : DT_UNKNOWN;
    file = type == DT_REG;
    folder = type == DT_DIR;
}

// The folder's path followed by the name, decoded as QFile::decodeName() decodes it but
// quicker for the plain ASCII names most files have, in one allocation of the exact size;
// a folder's with a "/" after it.
QString pathOf(const QString &folder, const char *name, bool isFolder)
{
    const QLatin1Char slash('/');
    const QLatin1String latin(name);
    if (std::all_of(latin.begin(), latin.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        if (isFolder)
            return folder % latin % slash;
        return folder % latin;
    }
    const QString decoded = QFile::decodeName(name);
    if (isFolder)
        return folder % decoded % slash;
    return folder % decoded;
}

// The walk of QDirIterator with Subdirectories and no filter, on readdir's own entry types,
// so that no file costs a stat or a QFileInfo: hidden names (a leading dot) are neither
// listed nor entered, links to folders are not entered, links to files count as files,
// unreadable folders give nothing. A path is its folder's path, "/" and its name, as
// QDirIterator builds it. The files come in the order of their paths, so that the map of
// extensions takes each after the one before and the grouping need not sort them again.
class MediaWalk
{
public:
    MediaWalk(const std::function<bool()> &aborted, const std::function<void()> &onEntry,
              const QString &skipped)
        : m_aborted(aborted), m_onEntry(onEntry),
          m_skip(!skipped.isEmpty() && stat(QFile::encodeName(skipped).constData(), &m_skipped) == 0),
          m_skippedName(QFile::encodeName(QFileInfo(QDir::cleanPath(skipped)).fileName()))
    {
    }

    void run(const QString &root, QStringList &fajls, QMap<QString, QString> &fajls_novi);
    // The distinct extensions of the files taken.
    QSet<QString> found() const;

private:
    struct Suffix
    {
        QString ext; // lower case
        bool known = false;
        bool found = false;
    };
    struct Entry
    {
        QString path;      // a folder's ends in "/": the entries of a folder then sort as
                           // the paths below them do
        QByteArray native; // a folder's name as the file system has it
        int suffix = -1;   // a file's; -1 for a folder
    };
    struct Folder
    {
        QString path;      // ending in "/"
        QByteArray native;
        std::vector<Entry> entries;
        size_t next = 0;
    };

    bool enter(QString path, QByteArray native);
    int judge(const char *name);

    const std::function<bool()> &m_aborted;
    const std::function<void()> &m_onEntry;
    struct stat m_skipped {};
    const bool m_skip; // a folder below the root not to enter: the destination
    const QByteArray m_skippedName; // only a folder of its name is asked whether it is it
    std::vector<Folder> m_open;
    // goimali() walks a list that grows with every ANALYZE; a tree holds few distinct
    // suffixes, so each is judged once per scan.
    std::vector<Suffix> m_suffixes;
    QHash<QByteArray, int> m_bySuffix;
};

void MediaWalk::run(const QString &root, QStringList &fajls, QMap<QString, QString> &fajls_novi)
{
    const QString path = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    // After an abort, the files read so far are still taken; no further folder is read.
    bool aborted = !enter(path, QFile::encodeName(path));
    fajls_novi.detach(); // a hinted insert into a shared map would count its way to the hint
    auto hint = fajls_novi.cend();
    while (!m_open.empty()) {
        Folder &folder = m_open.back();
        if (folder.next == folder.entries.size()) {
            m_open.pop_back();
            continue;
        }
        const Entry &entry = folder.entries[folder.next++];
        if (entry.suffix < 0) {
            if (!aborted)
                aborted = !enter(entry.path, folder.native % entry.native % '/');
            continue;
        }
        Suffix &suffix = m_suffixes[size_t(entry.suffix)];
        suffix.found = true;
        fajls.append(entry.path);
        hint = std::next(QMap<QString, QString>::const_iterator(
            fajls_novi.insert(hint, entry.path, suffix.ext)));
    }
}

// Reads a folder and opens it for the walk; false when the scan was aborted while reading.
bool MediaWalk::enter(QString path, QByteArray native)
{
    Folder folder{std::move(path), std::move(native), {}, 0};
    DIR *dir = opendir(folder.native.constData());
    if (!dir)
        return true;
    folder.entries.reserve(64);
    bool aborted = false;
    while (const dirent *entry = readdir(dir)) {
        if (m_aborted()) {
            aborted = true;
            break;
        }
        m_onEntry();
        const char *name = entry->d_name;
        if (name[0] == '.')
            continue;
        bool file = false;
        bool isFolder = false;
        entryKind(dir, entry, file, isFolder);
        struct stat info {};
        if (isFolder && m_skip && m_skippedName == name && fstatat(dirfd(dir), name, &info, 0) == 0
            && info.st_dev == m_skipped.st_dev && info.st_ino == m_skipped.st_ino)
            continue;
        if (isFolder) {
            folder.entries.push_back({pathOf(folder.path, name, true), name, -1});
        } else if (file) {
            const int suffix = judge(name);
            if (m_suffixes[size_t(suffix)].known)
                folder.entries.push_back({pathOf(folder.path, name, false), {}, suffix});
        }
    }
    closedir(dir);
    const qsizetype common = folder.path.size();
    std::sort(folder.entries.begin(), folder.entries.end(),
              [common](const Entry &a, const Entry &b) {
                  return QStringView(a.path).sliced(common) < QStringView(b.path).sliced(common);
              });
    m_open.push_back(std::move(folder));
    return !aborted;
}

int MediaWalk::judge(const char *name)
{
    const char *dot = std::strrchr(name, '.');
    const char *start = dot ? dot + 1 : name + std::strlen(name);
    const QByteArray suffix = QByteArray::fromRawData(start, qsizetype(std::strlen(start)));
    const auto judged = m_bySuffix.constFind(suffix);
    if (judged != m_bySuffix.constEnd())
        return judged.value();
    Suffix meaning;
    meaning.ext = QFile::decodeName(suffix).toLower();
    meaning.known = goimali(meaning.ext);
    m_suffixes.push_back(meaning);
    const int index = int(m_suffixes.size() - 1);
    m_bySuffix.insert(QByteArray(suffix.constData(), suffix.size()), index);
    return index;
}

QSet<QString> MediaWalk::found() const
{
    QSet<QString> extensions;
    for (const Suffix &suffix : m_suffixes) {
        if (suffix.found)
            extensions.insert(suffix.ext);
    }
    return extensions;
}

} // namespace

std::vector<std::string> scanFolder(const QString &path, QStringList &fajls,
                                    QMap<QString, QString> &fajls_novi,
                                    const std::function<bool()> &aborted,
                                    const std::function<void()> &onEntry, const QString &skipped)
{
    const QString root = QLatin1Char('/') + path;
    qDebug() << "sega sme vo najdiekstenzii funkcijata...";
    qDebug() << "analyzing this folder.." << root;

    MediaWalk walk(aborted, onEntry, skipped);
    walk.run(root, fajls, fajls_novi);

    std::vector<std::string> result;
    for (const QString &ext : walk.found())
        result.push_back(ext.toStdString());
    std::sort(result.begin(), result.end());
    for (const std::string &ext : result)
        qDebug() << QString::fromStdString(ext);
    qDebug() << "vrakanje na ekstenzii";
    return result;
}

void groupByExtension(const QStringList &extensions, const QStringList &fileList,
                      const QMap<QString, QString> &fajls_novi, QStringList &lista,
                      QVector<QStringList> &filtrirani)
{
    lista = extensions;
    lista.removeDuplicates();
    lista.sort();
    if (!lista.isEmpty() && lista.first().isEmpty())
        lista.removeFirst();

    // Sorted and distinct, the paths meet the map's keys in the map's own order: a path
    // found in a scan is mostly the key after the previous one, so few need a search.
    // The paths of a single scan come sorted already.
    QStringList sorted;
    const QStringList *paths = &fileList;
    if (!std::is_sorted(fileList.cbegin(), fileList.cend())) {
        sorted = fileList;
        sorted.sort();
        paths = &sorted;
    }
    QHash<QString, QStringList> byExtension;
    auto known = fajls_novi.cbegin();
    for (auto path = paths->cbegin(); path != paths->cend(); ++path) {
        if (path != paths->cbegin() && *path == *(path - 1))
            continue;
        // A key the scan stored is the path's own string: no need to compare the text.
        const auto isKey = [&] { return known.key().isSharedWith(*path) || known.key() == *path; };
        if (known == fajls_novi.cend() || !isKey())
            known = fajls_novi.lowerBound(*path);
        if (known == fajls_novi.cend())
            break;
        if (isKey()) {
            if (!known.value().isEmpty())
                byExtension[known.value()].append(*path);
            ++known;
        }
    }

    filtrirani.clear();
    for (const QString &ext : std::as_const(lista)) {
        filtrirani.append(byExtension.take(ext));
        filtrirani.last().squeeze(); // the groups outlive the analysis
    }
}
