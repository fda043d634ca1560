#include "commandline.h"

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine cl;
    for (const QString &arg : arguments) {
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            cl.help = true;
        else if (arg == QLatin1String("--version"))
            cl.version = true;
        else
            cl.arguments << arg;
    }
    cl.automate =
        !cl.arguments.isEmpty() && cl.arguments.constFirst().toUpper() == QLatin1String("/AUTOMATE");
    return cl;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: tolvane [/AUTOMATE] [FILE | FOLDER]...\n"
        "Extracts the audio of video files into MP3 or WAV files.\n"
        "\n"
        "  FILE        a video file to put on the conversion list\n"
        "  FOLDER      a folder whose video files are added (with subfolders when set)\n"
        "  /AUTOMATE   as the first argument: convert the list without user action, then exit;\n"
        "              runs without a display too\n"
        "  --help      show this text\n"
        "  --version   show the program's version\n"
        "\n"
        "With /AUTOMATE the program prints one line per file (status, input, output or reason,\n"
        "separated by tabs) and exits with\n"
        "  0  every file was converted\n"
        "  1  there was nothing to convert\n"
        "  2  a file failed or the run was stopped\n");
}
