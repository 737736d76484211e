#pragma once

#include <QString>

// HOME, or the home folder of the user running the program when HOME is not set.
QString homeFolder();
// homeFolder() + "/Desktop/log_file.txt"
QString jobScriptPath();

// Appends text and a line feed as one entry (with its own byte-order mark).
void logthis3(QString text);
void deletejobfile();
