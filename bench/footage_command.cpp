// orlenne_footage_command SETTING PROFILE SOURCE OUTPUT
// The engine line for SOURCE under a built-in setting (its item text and the text of its
// combo or profile box), with what the source needs added as the run adds it.

#include "core/media/mediaprobe.h"
#include "core/media/settingscatalogue.h"
#include "core/media/sourcefit.h"
#include "core/shell/commands.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList words = app.arguments();
    if (words.size() != 5)
        return 2;
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), probeArguments(words.at(3)));
    probe.waitForFinished(-1);
    const MediaInfo source = parseProbe(probe.readAllStandardOutput());
    const QString arguments =
        Settings::argumentsFor({words.at(1), words.at(2), QStringLiteral("16"), QStringLiteral("48000"), false, words.at(2)});
    const SourceFit fit = fitToSource(arguments, source);
    QTextStream(stdout) << engineCommand(Engine{QStringLiteral("ffmpeg"), true}, words.at(3),
                                         arguments + QLatin1Char(' ') + fit.extraArguments, words.at(4))
                        << '\n';
    for (const QString &line : fit.details)
        QTextStream(stderr) << line << '\n';
    return 0;
}
