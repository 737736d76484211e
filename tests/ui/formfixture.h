#pragma once

// A shown conversion form in its own sandbox, whose questions are answered No, and the
// clicks the user makes on it.

#include "ui/form/eksform.h"
#include "testsupport.h"
#include "uisupport.h"

#include <QtTest>
#include <QtWidgets>

struct FormFixture
{
    Sandbox sandbox;
    DialogAnswers answers{QMessageBox::No};
    eksForm form;

    FormFixture()
    {
        form.show();
        (void)QTest::qWaitForWindowExposed(&form); // the rows to click are laid out
    }

    template<typename T = QWidget>
    T *child(const char *name)
    {
        return form.findChild<T *>(QLatin1String(name));
    }
    QListView *files() { return child<QListView>("listView_2"); }

    void clickExtension(int row) { clickRows(child<QListView>("listView"), {row}); }

    void chooseSetting(const QString &text)
    {
        auto *list = child<QListWidget>("listWidget");
        clickRows(list, {list->row(list->findItems(text, Qt::MatchExactly).value(0))});
    }

    // Selects the given rows of the shown group and presses the button (APPLY).
    void press(const QList<int> &rows, const char *button = "pushButton")
    {
        clickRows(files(), rows);
        child<QPushButton>(button)->click();
    }

    int countItems(const QString &text)
    {
        return int(child<QListWidget>("listWidget")->findItems(text, Qt::MatchExactly).size());
    }
};
