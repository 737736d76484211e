// libFuzzer target for the path helpers, the shell quoting and the output naming. The first
// byte picks the unit, the rest is its input; a broken rule aborts with the input shown.

#include "app/pathhelpers.h"
#include "convert/commands.h"
#include "convert/outputnaming.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QString scratch; // the output naming's private folder, removed on every way out

void removeScratch()
{
    if (!scratch.isEmpty())
        QDir(scratch).removeRecursively();
}

void check(bool ok, const char *rule, const QString &input, const QString &output)
{
    if (ok)
        return;
    // Escaped, so that a NUL or a line feed cannot hide the rest.
    const auto shown = [](const QString &text) { return text.toUtf8().toPercentEncoding(" /\\*|.\"$`'"); };
    std::fprintf(stderr, "broken: %s\n  input:  %s\n  output: %s\n", rule, shown(input).data(), shown(output).data());
    removeScratch(); // abort() skips the exit handler
    std::abort();
}

QString withoutSeparators(QString text) { return text.remove('/').remove('\\'); }

void fuzzPathHelpers(const QString &text)
{
    const QString folder = oddeliimeodpat2(text), name = text.mid(folder.size());
    check(text.startsWith(folder) && (folder.isEmpty() || folder.endsWith('/') || folder.endsWith('\\'))
              && withoutSeparators(name) == name,
          "the folder part ends at the last separator", text, folder);
    check(takeoutspecial(text) == QString(text).remove('|').remove('*'), "only marks are taken out", text,
          takeoutspecial(text));
    static const QRegularExpression pair(QStringLiteral("[/\\\\]{2}"));
    const QString collapsed = takeoutduplicatehash(text);
    check(withoutSeparators(collapsed) == withoutSeparators(text) && 2 * collapsed.size() >= text.size()
              && (collapsed == text || text.contains(pair)),
          "pairs of separators become one slash, nothing else changes", text, collapsed);
    check(collapseSlashes(text).remove('/') == QString(text).remove('/'), "only slashes collapse", text,
          collapseSlashes(text));
    const QString turned = changehashdirection(text);
    check(turned == QString(text).replace('\\', '/'), "only backslashes turn", text, turned);
}

// What a POSIX shell makes of one double-quoted word: inside, a backslash escapes only
// $ ` " \ and the line feed (which it removes); an unescaped $ or ` would expand and an
// unescaped " would end the word early. False for either.
bool unquote(const QString &quoted, QString &word)
{
    if (quoted.size() < 2 || !quoted.startsWith('"') || !quoted.endsWith('"'))
        return false;
    word.clear();
    for (qsizetype i = 1; i + 1 < quoted.size(); ++i) {
        const QChar c = quoted.at(i);
        if (c == '$' || c == '`' || c == '"')
            return false;
        if (c == '\\' && QStringLiteral("$`\"\\\n").contains(quoted.at(i + 1))) {
            if (i + 2 == quoted.size())
                return false; // it escapes the closing quote
            if (quoted.at(++i) != '\n')
                word.append(quoted.at(i));
            continue;
        }
        word.append(c);
    }
    return true;
}

void fuzzQuoting(const QString &text)
{
    QString word;
    check(unquote(shellQuote(text), word) && word == text, "the shell reads the quoted path back", text, shellQuote(text));
    static const QString special = QStringLiteral(" \t\n\r\"'\\$`|;&<>()*?[]{}#~!^");
    const QString bare = shellWord(text);
    const bool plain = !text.isEmpty() && std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return special.contains(c) || c.unicode() < 0x20;
    });
    check(bare == shellQuote(text) || (plain && bare == text), "only plain words go unquoted", text, bare);
}

// Input lines: the source file's folders below src/ ("." and ".." become "_"), its name,
// the extension, then one source entry a line: relative to src/, "~" first for the file://
// form, "!" first for a raw entry, "=" and a number for the file's folder from that position
// on (an entry found inside the folder's path, as through a link). The destination lies eight
// levels below box/ and inputs with more than six ".." are skipped, so even a naming that
// climbs out of it makes its folders inside box/, where they are found.
void fuzzOutputNaming(const QString &text, uint8_t variant)
{
    if (text.count(QLatin1String("..")) > 6)
        return;
    if (scratch.isEmpty()) {
        QByteArray pattern = "/tmp/fuzz_paths-XXXXXX"; // fixed: seeds depend on its length
        check(mkdtemp(pattern.data()), "a private scratch folder", {}, {});
        scratch = QDir(QString::fromUtf8(pattern)).canonicalPath();
        std::atexit(removeScratch);
    }
    const QString src = scratch + "/src", box = scratch + "/box", destination = box + "/1/2/3/4/5/6/7/dest";
    QDir(src).removeRecursively();
    QDir(box).removeRecursively();
    check(QDir().mkpath(src) && QDir().mkpath(destination), "the scratch tree", {}, scratch);

    QStringList lines = text.split('\n');
    while (lines.size() < 3)
        lines.append(QString());
    QStringList folders = lines.at(0).split('/', Qt::SkipEmptyParts);
    for (QString &part : folders)
        part = part == "." || part == ".." ? "_" : part;
    const QString folder = src + '/' + folders.join('/');
    QDir().mkpath(folder); // a name the file system refuses leaves a missing folder
    QString name = QString(lines.at(1)).replace('/', '_');
    if (name.isEmpty() || name == "." || name == "..")
        name = "_";
    // The extension is the program's own text (a setting or a preset), never a path.
    const QString extension = QString(lines.at(2)).replace('/', '_').replace('\\', '_');
    QStringList sources;
    for (const QString &line : lines.mid(3)) {
        if (line.startsWith('!'))
            sources.append(line.mid(1));
        else if (line.startsWith('='))
            sources.append(QDir(folder).canonicalPath().mid(line.mid(1).toInt()));
        else
            sources.append(line.startsWith('~') ? "file://" + src + '/' + line.mid(1) : src + '/' + line);
    }
    QString destinationDir = destination + QStringList{"", "/", "//"}.at(variant % 3);

    const QString output = makeOutputPath(sources, destinationDir, folder + '/' + name, extension);
    const QString call = folder + '/' + name + " as " + extension + " from " + sources.join(", ");
    check(!output.contains('|') && !output.contains('*'), "the output holds no field mark", call, output);
    check(destinationDir.endsWith('/'), "the destination gains its slash", call, destinationDir);
    const QStringList top = QDir(scratch).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    check(top == QStringList{"box", "src"}, "nothing appears beside the scratch tree", call, top.join(' '));
    QDirIterator made(box, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System, QDirIterator::Subdirectories);
    while (made.hasNext()) {
        const QString path = made.next();
        check(path == destination || path.startsWith(destination + '/') || destination.startsWith(path + '/'),
              "every folder made lies below the destination", call, path);
    }
    // Its folders, not its name: a name "." with the extension "." gives "..", which the engine refuses.
    const QStringList folderNames = output.left(output.lastIndexOf('/')).split('/');
    check(output.startsWith(destination + '/') && !folderNames.contains(".") && !folderNames.contains(".."),
          "the output lies below the destination", call, output);
}

void dropMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(dropMessages); // the helpers trace every call
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
        fuzzOutputNaming(text, uint8_t(data[0] / 3));
    return 0;
}
