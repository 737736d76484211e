#include "core/engines/engineinstaller.h"

#include <QFile>
#include <QFileInfo>

EngineInstaller::EngineInstaller(const QString &target) : m_file(target) {}

bool EngineInstaller::fail(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
    m_file.cancelWriting();
    return false;
}

bool EngineInstaller::open()
{
    // QSaveFile would write through a link to the file it names; the new engine replaces
    // the link instead, as the engine folder is ours and the linked file is not.
    const QString target = m_file.fileName();
    if (QFileInfo(target).isSymLink() && !QFile::remove(target))
        return fail(QStringLiteral("cannot replace the link %1").arg(target));
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
    return m_file.commit() || fail(m_file.errorString());
}
