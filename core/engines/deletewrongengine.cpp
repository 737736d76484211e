#include "core/engines/deletewrongengine.h"

#include "core/engines/enginefolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
// Whether a file's first bytes are those of a program (ELF, Mach-O or "#!").
bool looksLikeProgram(const QByteArray &head)
{
    if (head.startsWith("#!"))
        return true;
    static const QByteArray magics[] = {
        QByteArrayLiteral("\x7F" "ELF"),
        QByteArrayLiteral("\xFE\xED\xFA\xCE"), QByteArrayLiteral("\xFE\xED\xFA\xCF"),
        QByteArrayLiteral("\xCE\xFA\xED\xFE"), QByteArrayLiteral("\xCF\xFA\xED\xFE"),
        QByteArrayLiteral("\xCA\xFE\xBA\xBE"),
    };
    for (const QByteArray &magic : magics) {
        if (head.startsWith(magic))
            return true;
    }
    return false;
}

// Whether the cleanup keeps a file of this size that begins with head: a large one, or a
// program.
bool keptByCleanup(qint64 size, const QByteArray &head)
{
    return size >= MinimumEngineSize || looksLikeProgram(head);
}
} // namespace

QByteArray fileHead(const QString &path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) ? file.read(4) : QByteArray();
}

EngineRefusal engineRefusal(const QString &target, qint64 size, const QByteArray &head)
{
    if (!keptByCleanup(size, head))
        return EngineRefusal::TooSmall;
    if (!looksLikeProgram(head) && looksLikeProgram(fileHead(target)))
        return EngineRefusal::NotAProgram;
    return EngineRefusal::None;
}

void deletewrongengine::procesiraj()
{
    const QString folder = enginesFolder();
    qDebug() << "application dir path + /VeltroanBatchConverter.app/engines/" << folder;

    // Hidden files and folders are left alone. A link whose target is gone is listed too
    // (QDir::Files skips it), so that it cannot pass for an installed engine.
    const QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::System);
    for (const QFileInfo &entry : entries) {
        const bool danglingLink = entry.isSymLink() && !entry.exists();
        if (!entry.isFile() && !danglingLink)
            continue; // FIFOs, sockets and devices: not ours to judge, and not to be read
        const QString name = entry.fileName();
        const QString path = folder + name;
        const qint64 size = danglingLink ? 0 : QFileInfo(path).size();
        qDebug() << "files in engines:" << name << " size =" << size;
        // A small program is kept: distributions link their engine in, or ship a wrapper.
        if (keptByCleanup(size, fileHead(path)))
            continue;
        qDebug() << "files in engines:" << name << " size =" << size;
        QFile::remove(path); // a file that cannot be removed stays; nothing to report
    }
}
