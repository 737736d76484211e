#include "uisupport.h"

#include "ui/common/modal.h"

#include <QTest>
#include <QtWidgets>

DialogAnswers::DialogAnswers(int answer) : m_answer(answer)
{
    Modal::setDialogRunner([this](QDialog *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
            texts.append(box->text());
            detailed.append(box->detailedText());
        }
        return m_answer;
    });
}

DialogAnswers::~DialogAnswers()
{
    Modal::setDialogRunner({});
}

bool dropPaths(QWidget *target, const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(100, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

void clickRows(QAbstractItemView *view, const QList<int> &rows)
{
    Qt::KeyboardModifiers modifiers;
    for (int row : rows) {
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(index).center());
        modifiers = Qt::ControlModifier;
    }
}

QString cutLabels(const QWidget *window)
{
    QStringList cut;
    for (const QLabel *label : window->findChildren<QLabel *>()) {
        if (!label->isVisible() || label->text().isEmpty())
            continue;
        const QSize needed = label->wordWrap() ? QSize(0, label->heightForWidth(label->width()))
                                               : label->sizeHint();
        const bool fits = label->rect().contains(QRect(QPoint(), needed));
        if (!fits || label->visibleRegion() != label->rect())
            cut.append(label->objectName());
    }
    return cut.join(QLatin1Char(' '));
}
