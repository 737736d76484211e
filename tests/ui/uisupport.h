#pragma once

// Test helpers for the windows: answers for modal dialogs, drops and clicks.

#include <QStringList>

class QAbstractItemView;
class QWidget;

// Answers every modal dialog with the given button / result and keeps the texts of
// message boxes that were shown. Restores the real dialogs when destroyed.
class DialogAnswers
{
public:
    explicit DialogAnswers(int answer);
    ~DialogAnswers();
    void setAnswer(int answer) { m_answer = answer; }
    QStringList texts;    // QMessageBox::text() of each box shown
    QStringList detailed; // QMessageBox::detailedText()

private:
    int m_answer;
};

// Drops the URLs of the given local paths onto the widget as the file manager would: a drag
// entry, then the drop (the toolkit hands a drop only to a widget that accepted the entry).
// True when the drop was accepted.
bool dropPaths(QWidget *target, const QStringList &paths);

// Clicks the given rows of a shown view: the first plainly, the others with Ctrl held.
void clickRows(QAbstractItemView *view, const QList<int> &rows);

// The names of the window's visible labels whose text does not fit them (wrapped where
// they wrap) or that their parents or siblings cut off, separated by blanks.
QString cutLabels(const QWidget *window);
