#include "core/run/distinctjobs.h"

#include <QDir>
#include <QSet>

QList<ConversionJob> distinctJobs(const QList<ConversionJob> &jobs)
{
    QList<ConversionJob> distinct;
    QSet<QString> seen;
    for (const ConversionJob &job : jobs) {
        // No path holds a NUL: the fields cannot run into each other.
        const QChar end(0);
        const QString key = QDir::cleanPath(job.path) + end + job.arguments + end + job.outputExtension + end
                            + QChar(job.copyOnly ? u'c' : u'e');
        if (!seen.contains(key)) {
            seen.insert(key);
            distinct.append(job);
        }
    }
    return distinct;
}
