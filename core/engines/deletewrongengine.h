#pragma once

#include <QString>

// Removes files from the engines folder that cannot be a working engine.
class deletewrongengine
{
public:
    void procesiraj();
};

inline constexpr qint64 MinimumEngineSize = 3000000;
// Whether a file's first bytes are those of a program (ELF, Mach-O or "#!").
bool looksLikeProgram(const QByteArray &head);
// The first bytes of a plain file, enough for looksLikeProgram; nothing for anything else (a
// named pipe would keep the read waiting for a writer).
QByteArray fileHead(const QString &path);
// Whether the cleanup keeps a file of this size that begins with head: a large one, or a
// program.
bool keptByCleanup(qint64 size, const QByteArray &head);
