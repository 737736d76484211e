// libFuzzer target for the path helpers, the shell quoting and the output naming. The first
// byte picks the unit, the rest is its input; a broken rule aborts with the input shown.

#include "core/base/pathhelpers.h"
#include "core/shell/commands.h"
#include "core/jobs/outputpath.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The output naming's private folder; the seed naming-inside relies on its path's length.
QTemporaryDir scratch(QStringLiteral("/tmp/fuzz_paths-XXXXXX"));

void check(bool ok, const char *rule, const QString &input, const QString &output)
{
    if (ok)
        return;
    // Escaped, so that a NUL or a line feed cannot hide the rest.
    const auto shown = [](const QString &text) { return text.toUtf8().toPercentEncoding(" /\\*|.\"$`'"); };
    std::fprintf(stderr, "broken: %s\n  input:  %s\n  output: %s\n", rule, shown(input).data(),
                 shown(output).data());
    scratch.remove(); // abort() skips the destructors
    std::abort();
}

QString withoutSeparators(QString text) { return text.remove('/').remove('\\'); }

void fuzzPathHelpers(const QString &text)
{
    const QString folder = oddeliimeodpat2(text), name = text.mid(folder.size());
    check(text.startsWith(folder) && (folder.isEmpty() || folder.endsWith('/') || folder.endsWith('\\'))
              && withoutSeparators(name) == name,
          "the folder part ends at the last separator", text, folder);
    static const QRegularExpression pair(QStringLiteral("[/\\\\]{2}"));
    const QString collapsed = takeoutduplicatehash(text);
    check(withoutSeparators(collapsed) == withoutSeparators(text) && 2 * collapsed.size() >= text.size()
              && (collapsed == text || text.contains(pair)),
          "pairs of separators become one slash, nothing else changes", text, collapsed);
    check(collapseSlashes(text).remove('/') == QString(text).remove('/'), "only slashes collapse", text,
          collapseSlashes(text));
}

// A double-quoted word as a POSIX shell reads it: inside, a backslash escapes only $ ` " \
// and the line feed (which it removes); an unescaped $ or ` would expand and an unescaped "
// would end the word early, so the word is not valid then.
bool unquote(const QString &quoted, QString &word)
{
    static const QRegularExpression valid(QStringLiteral(R"(^"(?:[^"$`\\]|\\[\s\S])*"\z)"));
    static const QRegularExpression escape(QStringLiteral(R"(\\(?:([$`"\\])|\n))"));
    word = quoted.mid(1, quoted.size() - 2).replace(escape, QStringLiteral("\\1"));
    return valid.match(quoted).hasMatch();
}

void fuzzQuoting(const QString &text)
{
    QString word;
    check(unquote(shellQuote(text), word) && word == text, "the shell reads the quoted path back", text,
          shellQuote(text));
    static const QRegularExpression special(QStringLiteral(R"([\s"'\\$`|;&<>()*?\[\]{}#~!^[:cntrl:]])"));
    const QString bare = shellWord(text);
    check(bare == shellQuote(text) || (bare == text && !text.isEmpty() && !text.contains(special)),
          "only plain words go unquoted", text, bare);
}

// Input lines: the source file's path below src/ ("." and ".." become "_"), the extension,
// then the source entries: below src/, or with "!" first as written (found then anywhere
// inside the file's path). The destination lies eight levels below box/ and inputs with more
// than six ".." are skipped, so even a naming that climbs out of it makes its folders inside
// box/, where they are found.
void fuzzOutputNaming(const QString &text)
{
    if (text.count(QLatin1String("..")) > 6)
        return;
    const QString root = QDir(scratch.path()).canonicalPath();
    const QString src = root + "/src", box = root + "/box", destination = box + "/1/2/3/4/5/6/7/dest";
    QDir(src).removeRecursively();
    QDir(box).removeRecursively();
    check(QDir().mkpath(src) && QDir().mkpath(destination), "the scratch tree", {}, root);

    QStringList lines = text.split('\n');
    lines.resize(std::max<qsizetype>(lines.size(), 2));
    QStringList parts = lines.at(0).split('/', Qt::SkipEmptyParts);
    for (QString &part : parts)
        part = part == "." || part == ".." ? "_" : part;
    const QString file = src + '/' + (parts.isEmpty() ? "_" : parts.join('/'));
    QDir().mkpath(QFileInfo(file).path()); // a name the file system refuses leaves a missing folder
    // The extension is the program's own text (a setting or a preset), never a path.
    const QString extension = QString(lines.at(1)).replace('/', '_').replace('\\', '_');
    QStringList sources;
    for (const QString &line : lines.mid(2))
        sources.append(line.startsWith('!') ? line.mid(1) : src + '/' + line);
    QString destinationDir = destination;

    const QString output = makeOutputPath(sources, destinationDir, file, extension);
    const QString call = file + " as " + extension + " from " + sources.join(", ");
    check(!output.contains('|') && !output.contains('*'), "the output holds no field mark", call, output);
    QDirIterator made(box, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                      QDirIterator::Subdirectories);
    while (made.hasNext()) {
        const QString path = made.next();
        check(path == destination || path.startsWith(destination + '/') || destination.startsWith(path + '/'),
              "every folder made lies below the destination", call, path);
    }
    // Its folders, not its name: a name "..x" without an extension gives "..", which the engine refuses.
    const QStringList folderNames = output.left(output.lastIndexOf('/')).split('/');
    check(output.startsWith(destination + '/') && !folderNames.contains(".") && !folderNames.contains(".."),
          "the output lies below the destination", call, output);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {}); // traces
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (data[0] % 3 == 0)
        fuzzPathHelpers(text);
    else if (data[0] % 3 == 1)
        fuzzQuoting(text);
    else
        fuzzOutputNaming(text);
    return 0;
}
