#include "core/base/pathhelpers.h"

#include <QDebug>

QStringList nastavki;

static bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

QString oddeliimeodpat2(QString pat)
{
    qsizetype nameLength = 0;
    for (qsizetype i = pat.size() - 1; i >= 0 && !isSeparator(pat.at(i)); --i)
        ++nameLength;
    const QString folder = pat.left(pat.size() - nameLength);
    qDebug() << "oddelen od pat:" << folder;
    return folder;
}

bool goimali(QString ext)
{
    return nastavki.contains(ext.toUpper(), Qt::CaseSensitive);
}

QString takeoutspecial(QString text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (c != QLatin1Char('|') && c != QLatin1Char('*'))
            result.append(c);
    }
    return result;
}

// Each pair of separators, taken left to right without overlap, becomes one "/".
static QString collapsePairs(const QString &text, bool backslashIsSeparator)
{
    const auto separator = [backslashIsSeparator](QChar c) {
        return backslashIsSeparator ? isSeparator(c) : c == QLatin1Char('/');
    };
    QString result;
    result.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (i + 1 < text.size() && separator(text.at(i)) && separator(text.at(i + 1))) {
            result.append(QLatin1Char('/'));
            i += 2;
        } else {
            result.append(text.at(i));
            ++i;
        }
    }
    return result;
}

QString takeoutduplicatehash(QString text)
{
    return collapsePairs(text, true);
}

QString collapseSlashes(const QString &path)
{
    return collapsePairs(path, false);
}

QString changehashdirection(QString text)
{
    return text.replace(QLatin1Char('\\'), QLatin1Char('/'));
}
