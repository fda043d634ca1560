#include "fuzzsupport.h"
#include "settings/inidocument.h"

#include <cstddef>
#include <cstdint>

namespace {

// Any UTF-16 text, lone surrogates included: a byte below 0x80 is itself, a byte from 0x80 on is
// followed by the two bytes of one UTF-16 unit.
QString unitsFrom(QByteArrayView bytes)
{
    QString text;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        if (b < 0x80) {
            text += QChar(b);
        } else if (i + 2 < bytes.size()) {
            text += QChar(char16_t(uchar(bytes[i + 1]) << 8 | uchar(bytes[i + 2])));
            i += 2;
        }
    }
    return text;
}

} // namespace

// A settings file as found on disk: whatever it holds, it reads, and what it says survives being
// written out and read again; a value the program sets reads back exactly.
// Input: the file text, a NUL, a key name to look up, a NUL, the value to set.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<QByteArray> pieces = input.split('\0');
    const QByteArray text = pieces.value(0);
    const QString anyKey = QString::fromUtf8(pieces.value(1));
    // The value is all that follows the second NUL, NULs included.
    const qsizetype valueAt = text.size() + pieces.value(1).size() + 2;
    const QString value =
        valueAt <= input.size() ? unitsFrom(QByteArrayView(input).sliced(valueAt)) : QString();

    const QString group = QStringLiteral("Settings");
    const QStringList programKeys{QStringLiteral("user"), QStringLiteral("output"), QStringLiteral("path"),
                                  QStringLiteral("recent"), QStringLiteral("codec")};
    const IniDocument doc = IniDocument::parse(text);
    const IniDocument reread = IniDocument::parse(doc.serialize());
    for (const QString &key : programKeys + QStringList{anyKey})
        require(reread.value(group, key) == doc.value(group, key), "a value survives being written and read");

    for (const QString &key : programKeys) {
        IniDocument changed = doc;
        changed.setValue(group, key, value);
        const IniDocument back = IniDocument::parse(changed.serialize());
        require(back.value(group, key) == value, "a value set reads back exactly");
        for (const QString &other : programKeys) {
            if (other != key)
                require(back.value(group, other) == doc.value(group, other),
                        "setting a value leaves the others");
        }
    }
    return 0;
}
