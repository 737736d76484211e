#pragma once

#include <QString>

// Removes files from the engines folder that cannot be a working engine.
class deletewrongengine
{
public:
    void procesiraj();
};

inline constexpr qint64 MinimumEngineSize = 3000000;
// Whether the file begins like a program (ELF, Mach-O or "#!").
bool looksLikeProgram(const QString &path);
