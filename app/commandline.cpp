#include "commandline.h"

#include "settings/options.h"

namespace {
constexpr int maxJobsOnCommandLine = 64;
}

namespace {
// An option with its value after "="; false when arg is none of them. A value it does not take is told.
bool takeValueOption(const QString &arg, CommandLine &cl)
{
    const QString value = arg.section(QLatin1Char('='), 1);
    if (arg.startsWith(QLatin1String("--jobs="))) {
        bool ok = false;
        const int n = value.toInt(&ok);
        if (ok && n >= 1 && n <= maxJobsOnCommandLine)
            cl.jobs = n;
        else
            cl.error =
                QStringLiteral("--jobs takes a number from 1 to %1: %2").arg(maxJobsOnCommandLine).arg(arg);
    } else if (arg.startsWith(QLatin1String("--existing="))) {
        static const QStringList policies{QStringLiteral("overwrite"), QStringLiteral("skip"),
                                          QStringLiteral("rename")};
        if (policies.contains(value))
            cl.existing = ExistingPolicy(policies.indexOf(value));
        else
            cl.error = QStringLiteral("--existing takes overwrite, skip or rename: %1").arg(arg);
    } else if (arg.startsWith(QLatin1String("--format="))) {
        const qsizetype format = Options::formatKeys().indexOf(value);
        if (format >= 0)
            cl.format = int(format);
        else
            cl.error = QStringLiteral("--format takes %1: %2")
                           .arg(Options::formatKeys().join(QLatin1Char('|')), arg);
    } else if (arg.startsWith(QLatin1String("--track="))) {
        const QString codes = value.trimmed();
        if (codes == QLatin1String("default")) {
            cl.track = 0;
        } else if (codes == QLatin1String("all")) {
            cl.track = 2;
        } else if (!codes.isEmpty() && !codes.startsWith(QLatin1Char(',')) &&
                   !codes.contains(QLatin1String(",,"))) {
            cl.track = 1;
            cl.trackLanguages = codes;
        } else {
            cl.error =
                QStringLiteral("--track takes default, all or language codes such as deu,eng: %1").arg(arg);
        }
    } else {
        return false;
    }
    return true;
}
} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine cl;
    bool options = true;
    for (const QString &arg : arguments) {
        // A mistyped option taken as a file would run with the stored settings in its place.
        if (options && arg == QLatin1String("--")) {
            options = false;
            continue;
        }
        const bool option = options && arg.startsWith(QLatin1Char('-'));
        if (!option)
            cl.arguments << arg;
        else if (!cl.error.isEmpty())
            continue; // the first wrong one is told
        else if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            cl.help = true;
        else if (arg == QLatin1String("--version"))
            cl.version = true;
        else if (arg == QLatin1String("--split-chapters"))
            cl.splitChapters = true;
        else if (!takeValueOption(arg, cl))
            cl.error =
                QStringLiteral("unknown option %1 (a file of that name goes after --, or as ./%1)").arg(arg);
    }
    cl.automate =
        !cl.arguments.isEmpty() && cl.arguments.constFirst().toUpper() == QLatin1String("/AUTOMATE");
    return cl;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: tolvane [/AUTOMATE] [FILE | FOLDER]...\n"
        "Extracts the audio of video files into MP3, WAV, AAC, Opus, FLAC or Ogg Vorbis files,\n"
        "or copies it as it is.\n"
        "\n"
        "  FILE        a video file to put on the conversion list\n"
        "  FOLDER      a folder whose video files are added (with subfolders when set)\n"
        "  /AUTOMATE   as the first argument: convert the list without user action, then exit;\n"
        "              runs without a display too\n"
        "  --jobs=N    convert N files at once in this run\n"
        "  --existing=overwrite|skip|rename\n"
        "              what to do with an output file that exists, in this run, when nobody\n"
        "              is asked; rename keeps both. Without it an unattended run follows the\n"
        "              stored choice, except that when the program would ask first, nobody\n"
        "              answers, so the existing file is kept (Skipped) unless the stored choice\n"
        "              keeps both\n"
        "  --format=mp3|wav|aac|opus|flac|ogg|original\n"
        "              the output format of this run; original copies the audio as it is\n"
        "  --track=default|all|LANG[,LANG...]\n"
        "              which audio track of each file in this run: the one the encoder picks,\n"
        "              every track to its own file (\"name [lang]\"), or the first in one of the\n"
        "              languages (de, deu and ger alike), else the default one\n"
        "  --split-chapters\n"
        "              a file with chapters gives one output per chapter, in a folder named\n"
        "              after it: \"01 - chapter title\", ...; each piece gets its own line\n"
        "  --help      show this text\n"
        "  --version   show the program's version\n"
        "  --          ends the options: what follows is a file or folder even when it starts with -\n"
        "\n"
        "With /AUTOMATE the program prints one line per file, its fields separated by tabs:\n"
        "  Done!<TAB>input<TAB>output       Skipped<TAB>input<TAB>output\n"
        "  Failed<TAB>input<TAB>reason      Stopped<TAB>input<TAB>output\n"
        "  Ignored<TAB>path<TAB>reason      (a name or entry that was left out)\n"
        "In every field a backslash, line feed, carriage return and tab are written as \\\\, \\n,\n"
        "\\r and \\t, and other control characters and bytes that are not valid text as \\xHH.\n"
        "A file whose audio was copied, not re-encoded, is also told on standard error as\n"
        "  copied<TAB>input\n"
        "Messages go to standard error. It exits with\n"
        "  0    every listed file was converted or skipped\n"
        "  1    there was nothing to convert\n"
        "  2    a file failed or the run was stopped\n"
        "  128+N  ended by signal N (SIGTERM, SIGINT, SIGHUP): running files are stopped,\n"
        "       their outputs left as they were, and the settings saved\n"
        "A wrong option, or a value an option does not take, ends the program with 2 before anything\n"
        "is done.\n");
}
