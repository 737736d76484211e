#pragma once

// What ANALYZE does with the source entries, without the window.

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <string>
#include <vector>

// The media extensions the folder scan accepts, upper case, in table order (some twice).
QStringList knownMediaExtensions();

// An entry whose own name holds a dot is taken for a file, any other for a folder.
bool isFileEntry(const QString &text);
// The entry's path: without its first 8 characters when it begins with "file".
QString entryPath(const QString &text);

// Scans "/" + path recursively and appends the files with a known media extension
// to fajls, recording each one's extension in fajls_novi. aborted() is asked before
// every entry; onEntry() is called for every entry. The folder skipped (the destination)
// is not entered below path: its files are outputs, not sources. Returns the distinct
// extensions found, sorted.
std::vector<std::string> scanFolder(const QString &path, QStringList &fajls,
                                    QMap<QString, QString> &fajls_novi,
                                    const std::function<bool()> &aborted,
                                    const std::function<void()> &onEntry, const QString &skipped = {});

// Groups fileList by the extensions of fajls_novi: lista gets the distinct sorted
// extensions, filtrirani the distinct sorted paths of each, at the same index.
void groupByExtension(const QStringList &extensions, const QStringList &fileList,
                      const QMap<QString, QString> &fajls_novi, QStringList &lista,
                      QVector<QStringList> &filtrirani);
