#include "core/engines/engineinstaller.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>

EngineInstaller::EngineInstaller(const QString &target) : m_file(target) {}

EngineInstaller::~EngineInstaller()
{
    restoreLink(); // abandoned: the engine that was there stays
}

void EngineInstaller::restoreLink()
{
    if (m_setAsideLink.isEmpty())
        return;
    std::rename(QFile::encodeName(m_setAsideLink).constData(),
                QFile::encodeName(m_file.fileName()).constData());
    m_setAsideLink.clear();
}

bool EngineInstaller::fail(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
    m_file.cancelWriting();
    restoreLink();
    return false;
}

bool EngineInstaller::open()
{
    // QSaveFile would write through a link to the file it names; the new engine replaces
    // the link instead, as the engine folder is ours and the linked file is not. The link
    // is set aside under a hidden name and comes back unless the installation is committed.
    const QFileInfo target(m_file.fileName());
    if (target.isSymLink()) {
        const QString aside = target.path() + QLatin1String("/.") + target.fileName()
                              + QLatin1String(".link");
        if (std::rename(QFile::encodeName(target.filePath()).constData(),
                        QFile::encodeName(aside).constData())
            != 0)
            return fail(QStringLiteral("cannot replace the link %1").arg(target.filePath()));
        m_setAsideLink = aside;
    }
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
    if (!m_setAsideLink.isEmpty())
        QFile::remove(m_setAsideLink);
    m_setAsideLink.clear();
    return true;
}
