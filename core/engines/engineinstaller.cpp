#include "core/engines/engineinstaller.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
QString hiddenBeside(const QString &target)
{
    const QFileInfo info(target);
    return info.path() + QLatin1String("/.") + info.fileName() + QLatin1String(".part");
}
} // namespace

EngineInstaller::EngineInstaller(const QString &target)
    : m_target(target), m_file(hiddenBeside(target))
{
}

bool EngineInstaller::fail(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
    m_file.cancelWriting();
    return false;
}

bool EngineInstaller::open()
{
    // QSaveFile would write through a link at the engine's name to the file it names, and
    // the engine folder is ours while the linked file is not. So the bytes are saved under a
    // hidden name beside the engine, which the commit renames over the engine's name, link
    // or file; until then (and for good, should the program end first) the engine stays.
    if (QFileInfo(m_target).isDir())
        return fail(QStringLiteral("%1 is a folder").arg(m_target));
    return m_file.open(QIODevice::WriteOnly) || fail(m_file.errorString());
}

bool EngineInstaller::write(const QByteArray &bytes)
{
    return m_file.write(bytes) == bytes.size() || fail(m_file.errorString());
}

bool EngineInstaller::copyFrom(const QString &source)
{
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot copy %1: %2").arg(source, from.errorString()));
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = from.read(buffer.data(), buffer.size());
        if (got == 0)
            return true;
        if (got < 0)
            return fail(QStringLiteral("cannot copy %1: %2").arg(source, from.errorString()));
        if (m_file.write(buffer.constData(), got) != got)
            return fail(m_file.errorString());
    }
}

bool EngineInstaller::commit()
{
    if (!m_error.isEmpty() || !m_file.isOpen())
        return fail(QStringLiteral("nothing to install"));
    if (!m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner
                               | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                               | QFileDevice::ExeGroup | QFileDevice::ReadOther
                               | QFileDevice::ExeOther))
        return fail(m_file.errorString());
    if (!m_file.commit())
        return fail(m_file.errorString());
    const QByteArray saved = QFile::encodeName(m_file.fileName());
    if (std::rename(saved.constData(), QFile::encodeName(m_target).constData()) != 0) {
        const QString error = QString::fromLocal8Bit(std::strerror(errno));
        std::remove(saved.constData());
        return fail(error);
    }
    return true;
}
