#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// Puts an engine into place without ever leaving half of one: the bytes are saved whole
// (QSaveFile) and take the target's name, mode 0755, only when committed. Until then an
// engine of that name stays as it was; a failed or abandoned installation leaves no file
// behind.
class EngineInstaller
{
public:
    explicit EngineInstaller(const QString &target);
    Q_DISABLE_COPY_MOVE(EngineInstaller)

    bool open();
    bool write(const QByteArray &bytes);
    // The whole file at source, as the engine's bytes.
    bool copyFrom(const QString &source);
    // Makes the bytes written so far the engine.
    bool commit();
    QString errorString() const { return m_error; }

private:
    bool fail(const QString &error);

    QString m_target;
    QSaveFile m_file; // under a hidden name beside the target until the commit
    QString m_error;
};
