#include "core/engines/engineinstaller.h"

#include "core/files/filecopy.h"

#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

EngineInstaller::EngineInstaller(const QString &target)
    : m_target(target),
      m_file(QFileInfo(target).absolutePath() + QLatin1String("/.install-XXXXXX"))
{
}

bool EngineInstaller::fail(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
    return false;
}

bool EngineInstaller::open()
{
    return m_file.open() || fail(m_file.errorString());
}

bool EngineInstaller::write(const QByteArray &bytes)
{
    return m_file.write(bytes) == bytes.size() || fail(m_file.errorString());
}

bool EngineInstaller::copyFrom(const QString &source)
{
    return copyFile(source, m_file.fileName(), false)
           || fail(QStringLiteral("cannot copy %1").arg(source));
}

bool EngineInstaller::commit()
{
    if (!m_error.isEmpty() || !m_file.isOpen())
        return fail(QStringLiteral("nothing to install"));
    if (!m_file.flush())
        return fail(m_file.errorString());
    if (!m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner
                               | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                               | QFileDevice::ExeGroup | QFileDevice::ReadOther
                               | QFileDevice::ExeOther))
        return fail(m_file.errorString());
    m_file.close();
    // rename(2) replaces an existing engine in one step; QFile::rename would refuse.
    if (std::rename(QFile::encodeName(m_file.fileName()).constData(),
                    QFile::encodeName(m_target).constData())
        != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    m_file.setAutoRemove(false);
    return true;
}
