#include "ui/common/modal.h"

#include <QDialog>
#include <QMenu>

namespace {
Modal::DialogRunner dialogRunner;
Modal::DirectoryChooser directoryChooser;
Modal::FileChooser fileChooser;
Modal::MenuRunner menuRunner;
} // namespace

namespace Modal {

int exec(QDialog *dialog)
{
    return dialogRunner ? dialogRunner(dialog) : dialog->exec();
}

QString existingDirectory(QWidget *parent, const QString &caption, const QString &dir,
                          QFileDialog::Options options)
{
    if (directoryChooser)
        return directoryChooser(parent, caption, dir, options);
    return QFileDialog::getExistingDirectory(parent, caption, dir, options);
}

QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                     const QString &filter)
{
    if (fileChooser)
        return fileChooser(parent, caption, dir, filter);
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QAction *execMenu(QMenu *menu, const QPoint &globalPos)
{
    return menuRunner ? menuRunner(menu, globalPos) : menu->exec(globalPos);
}

void setDialogRunner(DialogRunner runner) { dialogRunner = std::move(runner); }
void setDirectoryChooser(DirectoryChooser chooser) { directoryChooser = std::move(chooser); }
void setFileChooser(FileChooser chooser) { fileChooser = std::move(chooser); }
void setMenuRunner(MenuRunner runner) { menuRunner = std::move(runner); }

} // namespace Modal
