#pragma once

// The one place where the program blocks on the user: modal dialogs, message boxes,
// file dialogs and pop-up menus. Tests install their own answers here.

#include <QFileDialog>
#include <QPoint>
#include <QString>
#include <functional>

class QAction;
class QDialog;
class QMenu;
class QWidget;

namespace Modal {

using DialogRunner = std::function<int(QDialog *)>;
using DirectoryChooser = std::function<QString(QWidget *parent, const QString &caption,
                                               const QString &dir, QFileDialog::Options)>;
using FileChooser = std::function<QString(QWidget *parent, const QString &caption,
                                          const QString &dir, const QString &filter)>;
using MenuRunner = std::function<QAction *(QMenu *, const QPoint &)>;

// Runs a dialog or message box modally and returns its result (exec()).
int exec(QDialog *dialog);
QString existingDirectory(QWidget *parent, const QString &caption, const QString &dir,
                          QFileDialog::Options options);
QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                     const QString &filter);
QAction *execMenu(QMenu *menu, const QPoint &globalPos);

// An empty function restores the real dialog.
void setDialogRunner(DialogRunner runner);
void setDirectoryChooser(DirectoryChooser chooser);
void setFileChooser(FileChooser chooser);
void setMenuRunner(MenuRunner runner);

} // namespace Modal
