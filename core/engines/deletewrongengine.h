#pragma once

#include <QString>

// Removes files from the engines folder that cannot be a working engine.
class deletewrongengine
{
public:
    void procesiraj();
};

inline constexpr qint64 MinimumEngineSize = 3000000;
// The first bytes of a plain file, enough to tell a program; nothing for anything else (a
// named pipe would keep the read waiting for a writer).
QByteArray fileHead(const QString &path);

// Why a new file of this size, beginning with head, may not take the place of the engine
// file target: the cleanup would delete it at once, or it cannot run where a program is.
enum class EngineRefusal { None, TooSmall, NotAProgram };
EngineRefusal engineRefusal(const QString &target, qint64 size, const QByteArray &head);
