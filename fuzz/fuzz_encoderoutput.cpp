#include "convert/encoderoutput.h"
#include "fuzzsupport.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// The bytes a text from decodeOutputText was made of: a lone U+DC80 to U+DCFF stands for the byte
// that was no UTF-8; everything else is UTF-8.
QByteArray bytesOf(const QString &text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            bytes += QStringView(text).sliced(i, 2).toUtf8();
            ++i;
        } else if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) {
            bytes += char(c.unicode() - 0xDC00);
        } else {
            require(!c.isSurrogate(), "no other lone surrogate comes out of the output");
            bytes += QStringView(&c, 1).toUtf8();
        }
    }
    return bytes;
}

} // namespace

// The encoder's output as the pipe hands it over: cut anywhere, read by read.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the read sizes, so one input is tried cut in many ways.
    quint32 state = data[0];
    const qsizetype longestRead = 1 + (data[0] & 0x3f) * 4;
    const QByteArray input(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);

    require(bytesOf(decodeOutputText(input)) == input, "the output's text gives back its bytes");

    OutputBlocks blocks;
    StallWatch stall;
    double duration = 0;
    QByteArray given;
    for (qsizetype at = 0; at < input.size();) {
        state = state * 1103515245u + 12345u;
        const qsizetype n = std::min<qsizetype>(1 + (state >> 16) % longestRead, input.size() - at);
        const QByteArray read = input.mid(at, n);
        const QByteArray block = blocks.add(read);
        at += n;
        given += block;
        require(input.startsWith(given), "blocks give the bytes back in their order");
        require(at - given.size() <= OutputBlocks::HeldSize, "no more than HeldSize bytes are held back");
        if (const std::optional<qint32> position = ParseOutput(block, duration, blocks.startsLine()))
            require(*position >= 0, "a progress position is never negative");
        stall.add(read);
    }
    return 0;
}
