#include "core/media/guidance.h"

#include "core/media/extensions.h"

#include <QStringView>

Guidance guidanceFor(const QString &key)
{
    const QString wanted = key.toLower();
    Guidance guidance;
    // Every matching row applies, so the last text stays.
    for (const ExtensionFacts &row : extensionTable()) {
        if (!row.guidance || wanted != QStringView(row.extension))
            continue;
        guidance.found = true;
        guidance.text = QString::fromUtf16(row.guidance);
        guidance.audioCombos = guidance.audioCombos || row.widgets == SettingWidgets::AudioCombos;
        guidance.rewrapBox = guidance.rewrapBox || row.widgets == SettingWidgets::RewrapBox;
    }
    return guidance;
}

QStringList guidanceKeys()
{
    QStringList keys;
    for (const ExtensionFacts &row : extensionTable()) {
        if (row.guidance)
            keys.append(QString::fromUtf16(row.extension));
    }
    return keys;
}
