#pragma once

#include <QString>

// Moves from onto to, replacing a file already there in one step (rename(2)), once from's
// bytes are on the disk; the folder is flushed after. error says why it could not.
bool renameOver(const QString &from, const QString &to, QString *error);
