#pragma once

// Test helpers for the windows: answers for modal dialogs, and drops.

#include <QString>
#include <QStringList>
#include <functional>

// Answers every modal dialog with the given button / result and keeps the texts of
// message boxes that were shown. Restores the real dialogs when destroyed.
class DialogAnswers
{
public:
    explicit DialogAnswers(int answer);
    ~DialogAnswers();
    void setAnswer(int answer) { m_answer = answer; }
    // Called with each dialog before it is answered.
    void onDialog(std::function<void(class QDialog *)> inspect) { m_inspect = std::move(inspect); }
    QStringList texts;   // QMessageBox::text() of each box shown
    QStringList details;  // QMessageBox::informativeText()
    QStringList detailed; // QMessageBox::detailedText()
    QStringList titles;  // windowTitle() of each dialog

private:
    int m_answer;
    std::function<void(class QDialog *)> m_inspect;
};

class QMimeData;
class QWidget;
// Drops the data onto the widget as the file manager would: a drag entry, then the drop
// (the toolkit hands a drop only to a widget that accepted the entry). True when the
// drop was accepted.
bool dropData(QWidget *target, QMimeData *data);
// Drops the URLs of the given local paths.
bool dropPaths(QWidget *target, const QStringList &paths);

// The names of the window's visible labels whose text does not fit them (wrapped where
// they wrap) or that their parents or siblings cut off, separated by blanks.
QString cutLabels(const QWidget *window);
