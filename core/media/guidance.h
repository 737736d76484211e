#pragma once

#include <QString>
#include <QStringList>

// Advice shown for a clicked extension, and the setting widgets that suit it.
struct Guidance
{
    bool found = false;       // some row matched; otherwise the label keeps its text
    QString text;
    bool audioCombos = false; // comboBox_3 and comboBox_2
    bool rewrapBox = false;   // checkBox
};

// key (an extension without the dot, any case) is compared with every row of the table,
// in order; the last match wins.
Guidance guidanceFor(const QString &key);

// Every extension of the table that has advice, in table order.
QStringList guidanceKeys();
