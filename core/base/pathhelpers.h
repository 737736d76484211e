#pragma once

#include <QString>
#include <QStringList>

// Upper-case media extensions accepted by the folder scan; ANALYZE fills it.
extern QStringList nastavki;

QString oddeliimeodpat2(QString pat);
bool goimali(QString ext);

QString takeoutspecial(QString text);
QString takeoutduplicatehash(QString text);
QString changehashdirection(QString text);
// takeoutduplicatehash for paths read from disk: only "//" collapses, since a backslash is
// part of a name there. Never changes the file a path names.
QString collapseSlashes(const QString &path);
