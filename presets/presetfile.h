#pragma once

#include <QString>
#include <QStringList>
#include <string>

// Working folder + "/VeltroanBatchConverter.app/presets.txt"
QString presetsFilePath();
// "*" + NAME + "*" + arguments + "*" + extension, the name upper-cased.
QString presetLine(const QString &name, const QString &arguments, const QString &extension);

// Appends one Latin-1 line to the presets file.
void savepreset(std::string line);
// Every line of the presets file, from Latin-1; a file ending in a line feed
// yields a trailing empty string.
QStringList loadpresets();
