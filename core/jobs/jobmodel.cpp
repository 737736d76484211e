#include "core/jobs/jobmodel.h"

#include "core/media/settingscatalogue.h"

#include <QRegularExpression>

namespace JobModel {

bool isAssigned(const QString &entry)
{
    return entry.endsWith(QLatin1Char('|'));
}

QString assigned(const QString &path, const QString &marker)
{
    return path + QLatin1Char('|') + marker + QLatin1Char('|');
}

Entry split(const QString &entry)
{
    if (entry.size() < 2 || !isAssigned(entry))
        return {entry, QString()};
    const QString body = entry.chopped(1);
    // The path may hold "|" and "*", and so may a preset's arguments ("pan=stereo|c0=c0"): a
    // preset's line "*NAME*arguments*extension" is known by the last three "*" of the entry.
    // Every other marker holds no "|", so it is what follows the last one.
    static const QRegularExpression preset(QStringLiteral("\\|(\\*[^*|]*\\*[^*]*\\*[^*|]*)\\z"));
    const QRegularExpressionMatch match = preset.match(body);
    if (match.hasMatch())
        return {body.left(match.capturedStart()), match.captured(1)};
    const qsizetype bar = body.lastIndexOf(QLatin1Char('|'));
    if (bar < 0)
        return {entry, QString()};
    return {body.left(bar), body.mid(bar + 1)};
}

QString pathOf(const QString &entry)
{
    return split(entry).path;
}

QVector<QStringList> defaultSettings(const QVector<QStringList> &files)
{
    QVector<QStringList> settings;
    settings.reserve(files.size());
    for (const QStringList &group : files)
        settings.append(QStringList(group.size(), Settings::Default));
    return settings;
}

Group applied(Group group, const QList<int> &rows, const QString &marker,
              const QString &arguments)
{
    for (const int row : rows) {
        if (row < 0 || row >= group.files.size() || isAssigned(group.files.at(row)))
            continue;
        group.files[row] = assigned(group.files.at(row), marker);
        group.settings[row] = arguments;
    }
    return group;
}

Group reset(Group group, const QList<int> &rows)
{
    for (const int row : rows) {
        if (row < 0 || row >= group.files.size())
            continue;
        group.files[row] = pathOf(group.files.at(row));
        group.settings[row] = Settings::Default;
    }
    return group;
}

QString outputExtension(const QString &marker)
{
    // The catalogue reads a preset's fields from its line alone; any other marker has none.
    return Settings::outputExtension(marker.startsWith(QLatin1Char('*')) ? marker : QString());
}

} // namespace JobModel
