#pragma once

// The form's job model as plain values. Per extension group, one entry per file and its
// setting, in two parallel lists. An entry is the file's path as the analysis delivered it,
// followed by "|" + marker + "|" once a setting is assigned; the marker is the setting's
// name (a preset's whole line) or the re-wrap arguments. A setting is "DEFAULT" until then.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace JobModel {

struct Entry
{
    QString path;
    QString marker; // empty when no setting is assigned
};

struct Group
{
    QStringList files;
    QStringList settings;
};

bool isAssigned(const QString &entry);
QString assigned(const QString &path, const QString &marker);
Entry split(const QString &entry);
// The entry cut back to its path, as Reset and the run leave it.
QString pathOf(const QString &entry);

// The settings of freshly delivered groups: every file "DEFAULT".
QVector<QStringList> defaultSettings(const QVector<QStringList> &files);
// APPLY to the given rows: a file that is already assigned keeps its setting.
Group applied(Group group, const QList<int> &rows, const QString &marker,
              const QString &arguments);
// Reset of the given rows, assigned or not.
Group reset(Group group, const QList<int> &rows);

// The extension of the output of a file assigned this marker: a preset's extension field,
// for every other converted file "MOV".
QString outputExtension(const QString &marker);

} // namespace JobModel
