#pragma once

// Where the program's own files are: the working folder and its bundle, the home folder and
// the Desktop files a run writes.

#include <QString>
#include <string>

// The process's working folder (the program makes its own folder its working folder at
// start-up); empty when it cannot be read.
std::string get_working_path();
std::string get_working_path1();

// Working folder + "/VeltroanBatchConverter.app/" + inside.
QString bundlePath(const QString &inside);

// HOME, or the home folder of the user running the program when HOME is not set.
QString homeFolder();
// homeFolder() + "/Desktop/log_file.txt": the job script.
QString jobScriptPath();
// homeFolder() + "/Desktop/batch_file.txt"
QString batchFilePath();
// homeFolder() + "/Desktop/log_file_engines.txt"
QString engineLogPath();
