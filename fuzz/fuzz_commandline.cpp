#include "convert/commandline.h"
#include "fuzzsupport.h"

#include <cstddef>
#include <cstdint>

// Any text quotes into one argument and splits back unchanged; the encoder's command line keeps
// its paths whole whatever they hold.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    require(splitCommandLine(quoteArgument(text)) == QStringList{text},
            "a quoted text splits back into itself");

    // NULs cut the input into encoder path, input file and the arguments after them.
    const QChar cut(u'\0');
    const QString encoder = text.section(cut, 0, 0);
    const QString inputFile = text.section(cut, 1, 1);
    const QString arguments = text.section(cut, 2);
    const QStringList expected = QStringList{encoder, QStringLiteral("-y"), QStringLiteral("-i"), inputFile} +
                                 splitCommandLine(arguments);
    require(splitCommandLine(encoderCommandLine(encoder, inputFile, arguments)) == expected,
            "the encoder's command line splits into path, -y, -i, input file and the arguments");
    return 0;
}
