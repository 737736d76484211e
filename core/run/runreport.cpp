#include "core/run/runreport.h"

namespace {

const QString NoProbeText = QStringLiteral(
    "ffprobe was not found: outputs were judged by the engine's exit status and their size only.");

QString timeLeftText(qint64 ms)
{
    if (ms < 0)
        return QStringLiteral("estimating the time left");
    const qint64 s = (ms + 999) / 1000;
    if (s < 60)
        return QStringLiteral("about %1 s left").arg(s);
    if (s < 3600)
        return QStringLiteral("about %1 min %2 s left").arg(s / 60).arg(s % 60);
    return QStringLiteral("about %1 h %2 min left").arg(s / 3600).arg(s % 3600 / 60);
}

} // namespace

QString reportText(const QStringList &notConverted)
{
    if (notConverted.isEmpty())
        return QStringLiteral("Success! All your files were converted! PLease check destination!");
    QString list;
    for (int i = 0; i < notConverted.size(); ++i)
        list = QLatin1Char('\n') + list + QLatin1Char('\n') + QString::number(i)
               + QLatin1String("-->") + notConverted.at(i);
    return QStringLiteral("The Following Files were not converted :\n ") + list;
}

QString reportDetails(const QList<ReportLine> &lines, bool probed, const QString &remark)
{
    QStringList text;
    for (const ReportLine &line : lines) {
        switch (line.outcome) {
        case Outcome::Converted:
            text.append(QLatin1String("converted: ") + line.output);
            break;
        case Outcome::Stopped:
        case Outcome::NotStarted:
        case Outcome::AlreadyConverted:
            text.append(line.reason + QLatin1String(": ") + line.output);
            break;
        case Outcome::Failed:
            text.append(QLatin1String("not converted: ") + line.output + QLatin1String(" (")
                        + line.reason + QLatin1Char(')'));
            break;
        }
        if (line.outcome == Outcome::Converted || line.outcome == Outcome::Failed)
            text.append(line.notes);
    }
    if (!probed)
        text.append(NoProbeText);
    if (!remark.isEmpty())
        text.append(remark);
    return text.join(QLatin1Char('\n'));
}

QString progressLine(int finished, int total, qint64 leftMs, const QStringList &running,
                     int alreadyConverted)
{
    QString line = QStringLiteral("%1 of %2 files done").arg(finished).arg(total);
    if (alreadyConverted > 0)
        line += QStringLiteral(" (%1 %2)").arg(alreadyConverted).arg(AlreadyConvertedText);
    line += QLatin1String(", ") + timeLeftText(leftMs);
    if (!running.isEmpty())
        line += QLatin1String(" - now: ") + running.join(QLatin1String(", "));
    return line;
}
