#pragma once

#include <QString>
#include <QStringList>
#include <string>

// Working folder + "/VeltroanBatchConverter.app/presets.txt"
QString presetsFilePath();
// "*" + NAME + "*" + arguments + "*" + extension, the name upper-cased.
QString presetLine(const QString &name, const QString &arguments, const QString &extension);
// Why no preset can be made of these fields, or an empty text when one can: a preset needs
// arguments the shell can split into words and the extension of the resulting file, and no
// field may hold the marks that divide a preset's line or end a file's setting.
QString presetRefusal(const QString &name, const QString &arguments, const QString &extension);
// The same for a line of a preset file: lines that are no preset line are not judged.
QString presetLineRefusal(const QString &line);

// Appends one UTF-8 line to the presets file.
void savepreset(std::string line);
// Appends the lines, in UTF-8, to the presets file at once.
void savepresets(const QStringList &lines);
// The lines of a preset file, each from UTF-8, or from Latin-1 for a line that is no valid
// UTF-8 (a file with a UTF-16 or UTF-32 byte order mark from that encoding), without a
// byte order mark or a carriage return before the line feed; a file ending in a line feed
// yields a trailing empty string.
QStringList presetLines(const QByteArray &bytes);
// presetLines of the presets file; none when it cannot be read.
QStringList loadpresets();
