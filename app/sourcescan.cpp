#include "app/sourcescan.h"

#include "app/pathhelpers.h"

#include <QDebug>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>

QStringList knownMediaExtensions()
{
    return {QStringLiteral("MOV"),  QStringLiteral("AVI"),  QStringLiteral("MP4"),
            QStringLiteral("WMV"),  QStringLiteral("MP4"),  QStringLiteral("WMV"),
            QStringLiteral("MKV"),  QStringLiteral("3GP"),  QStringLiteral("RMVB"),
            QStringLiteral("RM"),   QStringLiteral("MP2V"), QStringLiteral("M2V"),
            QStringLiteral("M2S"),  QStringLiteral("MPA"),  QStringLiteral("MP2"),
            QStringLiteral("M2A"),  QStringLiteral("MPEG"), QStringLiteral("MPG"),
            QStringLiteral("MPE"),  QStringLiteral("M1S"),  QStringLiteral("VOB"),
            QStringLiteral("WMA"),  QStringLiteral("M4V"),  QStringLiteral("M4A"),
            QStringLiteral("FLAC"), QStringLiteral("FLV"),  QStringLiteral("DTS"),
            QStringLiteral("AMR"),  QStringLiteral("AIF"),  QStringLiteral("AIFF"),
            QStringLiteral("ASF"),  QStringLiteral("DV"),   QStringLiteral("MJPEG"),
            QStringLiteral("MXF"),  QStringLiteral("DIVX"), QStringLiteral("MTS"),
            QStringLiteral("TS"),   QStringLiteral("DVF"),  QStringLiteral("M4B"),
            QStringLiteral("MP3"),  QStringLiteral("MP2"),  QStringLiteral("APE"),
            QStringLiteral("TTA"),  QStringLiteral("VW"),   QStringLiteral("AAC"),
            QStringLiteral("MPC"),  QStringLiteral("SPX"),  QStringLiteral("MP1"),
            QStringLiteral("OGV"),  QStringLiteral("OGA"),  QStringLiteral("OGX"),
            QStringLiteral("SQF"),  QStringLiteral("SVI"),  QStringLiteral("WAV"),
            QStringLiteral("W64"),  QStringLiteral("R3D"),  QStringLiteral("MXG"),
            QStringLiteral("M2TS")};
}

bool isFileEntry(const QString &text)
{
    return text.split(QLatin1Char('.')).size() >= 2;
}

QString entryPath(const QString &text)
{
    return text.startsWith(QLatin1String("file")) ? text.mid(8) : text;
}

std::vector<std::string> scanFolder(const QString &path, QStringList &fajls,
                                    QMap<QString, QString> &fajls_novi,
                                    const std::function<bool()> &aborted,
                                    const std::function<void()> &onEntry)
{
    const QString root = QLatin1Char('/') + path;
    qDebug() << "sega sme vo najdiekstenzii funkcijata...";
    qDebug() << "analyzing this folder.." << root;

    QSet<QString> found;
    // goimali() walks the whole extension list, which grows with every ANALYZE; a tree
    // holds few distinct suffixes, so each is judged once per scan.
    QHash<QString, bool> known;
    QDirIterator it(root, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (aborted())
            break;
        onEntry();
        const QFileInfo info = it.fileInfo();
        if (!info.isFile())
            continue;
        const QString ext = info.suffix().toLower();
        auto judged = known.constFind(ext);
        if (judged == known.constEnd())
            judged = known.insert(ext, goimali(ext));
        if (judged.value()) {
            const QString filePath = it.filePath();
            fajls.append(filePath);
            fajls_novi.insert(filePath, ext);
            found.insert(ext);
        }
    }

    std::vector<std::string> result;
    for (const QString &ext : std::as_const(found))
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

    // Sorting first makes duplicates neighbours, so no set of every path is needed.
    QHash<QString, QStringList> byExtension;
    for (const QString &path : fileList) {
        const QString ext = fajls_novi.value(path);
        if (!ext.isEmpty())
            byExtension[ext].append(path);
    }

    filtrirani.clear();
    for (const QString &ext : std::as_const(lista)) {
        QStringList group = byExtension.take(ext);
        group.sort();
        group.erase(std::unique(group.begin(), group.end()), group.end());
        filtrirani.append(group);
    }
}
