// libFuzzer target for the path helpers, the output naming and the shell quoting.
//
// The first byte picks the unit, the rest is its input. Every check aborts on a broken
// invariant, so libFuzzer reports it as a crash with the input that caused it.

#include "app/pathhelpers.h"
#include "convert/commands.h"
#include "convert/outputnaming.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Control characters shown as \xNN, so that a NUL or a line feed does not hide the rest.
QByteArray printable(const QString &text)
{
    QByteArray shown;
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            shown += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
        else
            shown += c;
    }
    return shown;
}

// The scratch folder of the output naming, once made; removed on every way out.
const QString *scratchRoot = nullptr;

void removeScratch()
{
    if (scratchRoot)
        QDir(*scratchRoot).removeRecursively();
}

[[noreturn]] void violated(const char *what, const QString &input, const QString &output)
{
    std::fprintf(stderr, "invariant broken: %s\n  input:  %s\n  output: %s\n", what,
                 printable(input).constData(), printable(output).constData());
    removeScratch(); // abort() skips the exit handler
    std::abort();
}

void check(bool ok, const char *what, const QString &input, const QString &output)
{
    if (!ok)
        violated(what, input, output);
}

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

QString withoutSeparators(QString text)
{
    text.remove(QLatin1Char('/'));
    text.remove(QLatin1Char('\\'));
    return text;
}

// ---- path helpers -------------------------------------------------------------------------

void fuzzPathHelpers(const QString &text)
{
    const QString folder = oddeliimeodpat2(text);
    check(text.startsWith(folder), "folder part is a prefix", text, folder);
    check(folder.isEmpty() || isSeparator(folder.back()), "folder part ends in a separator", text,
          folder);
    const QString name = text.mid(folder.size());
    check(!name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')),
          "folder part keeps no separator in the name", text, folder);

    const QString special = takeoutspecial(text);
    QString expected = text;
    expected.remove(QLatin1Char('|'));
    expected.remove(QLatin1Char('*'));
    check(special == expected, "takeoutspecial removes exactly | and *", text, special);

    const QString collapsed = takeoutduplicatehash(text);
    check(withoutSeparators(collapsed) == withoutSeparators(text),
          "takeoutduplicatehash keeps every other character", text, collapsed);
    check(collapsed.size() <= text.size() && 2 * collapsed.size() >= text.size(),
          "takeoutduplicatehash removes at most one character per pair", text, collapsed);
    bool hasPair = false;
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        hasPair = hasPair || (isSeparator(text.at(i)) && isSeparator(text.at(i + 1)));
    check(hasPair || collapsed == text, "takeoutduplicatehash leaves a text without pairs alone",
          text, collapsed);

    const QString forward = changehashdirection(text);
    check(forward.size() == text.size() && !forward.contains(QLatin1Char('\\'))
                  && withoutSeparators(forward) == withoutSeparators(text),
          "changehashdirection only turns backslashes", text, forward);

    const bool known = goimali(text);
    check(known == nastavki.contains(text.toUpper()), "goimali looks up the upper-case form", text,
          QString::number(known));
}

// ---- shell quoting ------------------------------------------------------------------------

// What a POSIX shell makes of one double-quoted word: inside the quotes a backslash
// escapes only $ ` " \ and the line feed (which it removes); an unescaped $ or ` would
// expand and an unescaped " would end the word early. Returns false for either. Working on
// characters rather than UTF-8 bytes is the same here: every byte the shell looks at is
// ASCII, and no byte of a multi-byte character is.
bool unquoteDoubleQuoted(QStringView quoted, QString &word)
{
    if (quoted.size() < 2 || quoted.front() != QLatin1Char('"')
        || quoted.back() != QLatin1Char('"'))
        return false;
    const QStringView inside = quoted.mid(1, quoted.size() - 2);
    word.clear();
    for (qsizetype i = 0; i < inside.size(); ++i) {
        const QChar c = inside.at(i);
        if (c == QLatin1Char('$') || c == QLatin1Char('`') || c == QLatin1Char('"'))
            return false;
        if (c == QLatin1Char('\\')) {
            if (i + 1 == inside.size())
                return false; // it would escape the closing quote
            const QChar next = inside.at(i + 1);
            if (next == QLatin1Char('\n')) {
                ++i;
                continue;
            }
            if (next == QLatin1Char('$') || next == QLatin1Char('`') || next == QLatin1Char('"')
                || next == QLatin1Char('\\')) {
                word.append(next);
                ++i;
                continue;
            }
        }
        word.append(c);
    }
    return true;
}

bool isLiteral(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')
           || (u != 0 && u < 0x80 && std::strchr("_@%+=:,./-", char(u)));
}

bool isLiteralWord(const QString &word)
{
    return !word.isEmpty() && std::all_of(word.cbegin(), word.cend(), isLiteral);
}

// The engine arguments as the shell reads them. Outside quotes a backslash takes the next
// character literally and single quotes take everything up to the next one; double quotes
// are read as above. A character that would end the command, redirect, substitute,
// expand, glob or start a comment outside quotes could start a command of its own, and a
// quote or backslash left open would swallow the output path that follows; a NUL would
// cut the line.
bool argumentsAreInert(const QString &arguments)
{
    const QLatin1String active("$`;|&<>()*?[#~\n");
    if (arguments.contains(QChar(0)))
        return false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QChar c = arguments.at(i);
        qsizetype end = i; // the last character of what starts here
        if (active.contains(c)) {
            return false;
        } else if (c == QLatin1Char('\\')) {
            end = i + 1;
        } else if (c == QLatin1Char('\'')) {
            end = arguments.indexOf(QLatin1Char('\''), i + 1);
        } else if (c == QLatin1Char('"')) {
            for (end = i + 1; end < arguments.size() && arguments.at(end) != QLatin1Char('"');)
                end += arguments.at(end) == QLatin1Char('\\') ? 2 : 1;
            QString word;
            if (end < arguments.size()
                && !unquoteDoubleQuoted(QStringView(arguments).mid(i, end - i + 1), word))
                return false;
        }
        if (end < 0 || end >= arguments.size())
            return false;
        i = end;
    }
    return true;
}

void fuzzCommands(const QString &text)
{
    const QString quoted = shellQuote(text);
    QString word;
    check(unquoteDoubleQuoted(quoted, word) && word == text,
          "the shell reads the quoted path back unchanged", text, quoted);

    const QString plain = shellWord(text);
    check(plain == quoted || (plain == text && isLiteralWord(text)),
          "shellWord leaves only literal words unquoted", text, plain);

    const QString arguments = engineArguments(text);
    check(argumentsAreInert(arguments), "engine arguments cannot start a command", text,
          arguments);
}

// ---- output naming ------------------------------------------------------------------------

// A scratch tree below a private temporary folder: src/ holds the fuzzed source folders,
// the destination sits eight levels below box/. A ".." that reaches the path can climb at
// most once per ".." in the input, and inputs with more than six are skipped, so even a
// faulty naming creates its folders inside box/, where the check below finds them.
struct Scratch
{
    QString root;
    QString src;
    QString box;
    QString destination;
};

const Scratch &scratch()
{
    static const Scratch s = [] {
        // Always below /tmp: a seed that matches an entry inside the folder's path relies
        // on the length of this path.
        QByteArray pattern = "/tmp/fuzz_paths-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        Scratch made;
        made.root = QDir(QString::fromUtf8(pattern)).canonicalPath();
        made.src = made.root + QLatin1String("/src");
        made.box = made.root + QLatin1String("/box");
        made.destination = made.box + QLatin1String("/1/2/3/4/5/6/7/dest");
        if (made.root.isEmpty()) {
            std::perror("scratch folder");
            std::abort();
        }
        // Kept on the heap: the exit handler runs after the static Scratch is gone.
        scratchRoot = new QString(made.root);
        std::atexit(removeScratch);
        return made;
    }();
    return s;
}

void resetScratch(const Scratch &s)
{
    QDir(s.src).removeRecursively();
    QDir(s.box).removeRecursively();
    if (!QDir().mkpath(s.src) || !QDir().mkpath(s.destination)) {
        std::fprintf(stderr, "cannot set up %s\n", s.root.toUtf8().constData());
        std::abort();
    }
}

// A folder below box/ is fine when it is the destination, below it, or on the way to it.
bool staysBelowDestination(const QString &folder, const QString &destination)
{
    return folder == destination || folder.startsWith(destination + QLatin1Char('/'))
           || destination.startsWith(folder + QLatin1Char('/'));
}

// Input lines: the source file's folders below src/ ("/"-separated; "." and ".." are
// not folder names a scan can find and are replaced), the file name, the extension,
// then one source entry a line: relative to src/, "~" first for the file:// form, "!"
// first for a raw entry, or "=" and a number for the file's folder from that position on
// (an entry found inside the folder's path rather than at its start, as through a link).
void fuzzOutputNaming(const QString &text, uint8_t variant)
{
    if (text.count(QLatin1String("..")) > 6)
        return;
    const Scratch &s = scratch();
    resetScratch(s);

    QStringList lines = text.split(QLatin1Char('\n'));
    while (lines.size() < 3)
        lines.append(QString());

    QStringList folders;
    for (QString part : lines.at(0).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            part = QLatin1String("_");
        folders.append(part);
    }
    const QString folder = s.src + QLatin1Char('/') + folders.join(QLatin1Char('/'));
    QDir().mkpath(folder); // a name the file system refuses leaves a missing folder
    QString name = lines.at(1);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QLatin1String("_");
    const QString fajl = folder + QLatin1Char('/') + name;
    // The extension is the program's own text (a setting or a preset), never a path.
    QString ekstenzija = lines.at(2);
    ekstenzija.replace(QLatin1Char('/'), QLatin1Char('_'));
    ekstenzija.replace(QLatin1Char('\\'), QLatin1Char('_'));

    const QString canonical = QDir(folder).canonicalPath();
    QStringList sourceDirs;
    for (qsizetype i = 3; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.startsWith(QLatin1Char('!')))
            sourceDirs.append(line.mid(1));
        else if (line.startsWith(QLatin1Char('=')))
            sourceDirs.append(canonical.mid(line.mid(1).toInt())); // matches inside the path
        else if (line.startsWith(QLatin1Char('~')))
            sourceDirs.append(QLatin1String("file://") + s.src + QLatin1Char('/') + line.mid(1));
        else
            sourceDirs.append(s.src + QLatin1Char('/') + line);
    }

    static const char *const spellings[] = {"", "/", "//"};
    QString destinationDir = s.destination + QLatin1String(spellings[variant % 3]);

    const QString result = makeOutputPath(sourceDirs, destinationDir, fajl, ekstenzija);
    const QString call = QLatin1String("fajl=") + fajl + QLatin1String(" ekstenzija=")
                         + ekstenzija + QLatin1String(" sourceDirs=")
                         + sourceDirs.join(QLatin1String(", "));

    check(!result.contains(QLatin1Char('|')) && !result.contains(QLatin1Char('*')),
          "the output path holds no field mark", call, result);
    check(destinationDir.endsWith(QLatin1Char('/')), "the destination gains its slash", call,
          destinationDir);
    const QStringList top = QDir(s.root).entryList(QDir::AllEntries | QDir::Hidden
                                                   | QDir::NoDotAndDotDot);
    check(top == QStringList({QStringLiteral("box"), QStringLiteral("src")}),
          "no folder appears beside the destination tree", call, top.join(QLatin1Char(' ')));
    QDirIterator created(s.box, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                         QDirIterator::Subdirectories);
    while (created.hasNext()) {
        const QString made = created.next();
        check(staysBelowDestination(made, s.destination),
              "every created folder lies below the destination", call, made);
    }
    // The folder the output is written into; a last component "." or ".." (a name "." with
    // the extension ".") names a folder, which the engine cannot write as a file.
    const QString outputFolder = QDir::cleanPath(result.left(result.lastIndexOf(QLatin1Char('/'))));
    check(outputFolder == s.destination
                  || outputFolder.startsWith(s.destination + QLatin1Char('/')),
          "the output lies below the destination", call, result);
}

void dropMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(dropMessages); // the helpers trace every call
    nastavki = QStringList{QStringLiteral("MOV"), QStringLiteral("MXF"), QStringLiteral("MP4"),
                           QStringLiteral("AVI")};
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t selector = data[0];
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1),
                                           qsizetype(size - 1));
    switch (selector % 3) {
    case 0:
        fuzzPathHelpers(text);
        break;
    case 1:
        fuzzCommands(text);
        break;
    default:
        fuzzOutputNaming(text, uint8_t(selector / 3));
        break;
    }
    return 0;
}
