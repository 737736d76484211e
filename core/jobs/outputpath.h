#pragma once

#include <QString>
#include <QStringList>

// The output path of one source file under the destination, mirroring its folders
// below the first matching source folder (which is created). Normalises the source
// entries and the destination in place.
QString makeOutputPath(QStringList &sourceDirs, QString &destinationDir, const QString &fajl,
                       const QString &ekstenzija);
