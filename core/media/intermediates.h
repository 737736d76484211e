#pragma once

// The resolution-independent intermediates: DNxHR and ProRes at the source's own frame
// size, rate and field order, each family one settings item with a profile box.

#include <QString>
#include <QStringList>

namespace Settings {

QStringList dnxhrProfiles();   // profile box of "Avid DNxHR Codec", menu order
QStringList proresProfiles();  // profile box of "Apple ProRes Codec", menu order

// Engine arguments of a family's profile; empty for an unknown pair.
QString intermediateArguments(const QString &family, const QString &profile);

struct Intermediate
{
    QString profile;      // as ffprobe names it
    QString pixelFormat;  // as ffprobe reads it back
    bool keepsFields = false;
};
// The intermediate whose engine arguments these are, if any.
bool intermediateOf(const QString &arguments, Intermediate *found);

} // namespace Settings
