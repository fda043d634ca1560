#include "mp3infotag.h"

#include <QFile>

namespace Mp3InfoTag {

namespace {

// Offsets from the "Xing"/"Info" mark, as the LAME tag lays them out.
constexpr int delayAndPadding = 141;
constexpr int tagChecksum = 154;
constexpr int checkedBytes = 190; // of the frame, from its header
constexpr int frameBytesRead = 2048;

// CRC-16 with the reflected polynomial 0x8005, as the tag's checksum is.
quint16 crc16(const char *data, int size)
{
    quint16 crc = 0;
    for (int i = 0; i < size; ++i) {
        crc ^= quint8(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

// Where the side information ends for this frame header: MPEG-1 or later, mono or not.
int markOffset(const QByteArray &frame)
{
    if (frame.size() < 4 || quint8(frame[0]) != 0xff || (quint8(frame[1]) & 0xe0) != 0xe0)
        return -1;
    const bool mpeg1 = (quint8(frame[1]) >> 3 & 3) == 3;
    const bool mono = (quint8(frame[3]) >> 6) == 3;
    return 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
}

} // namespace

bool clearPadding(QByteArray &frame)
{
    const int mark = markOffset(frame);
    if (mark < 0 || frame.size() < qMax(mark + tagChecksum + 2, checkedBytes))
        return false;
    const QByteArray id = frame.mid(mark, 4);
    if (id != "Xing" && id != "Info")
        return false;
    const QByteArray encoder = frame.mid(mark + 120, 4);
    if (encoder != "LAME" && encoder != "Lavf" && encoder != "Lavc")
        return false;
    frame[mark + delayAndPadding] = frame[mark + delayAndPadding + 1] = frame[mark + delayAndPadding + 2] = 0;
    // In a mono frame the checksum lies among the bytes it covers: it is counted as zero.
    frame[mark + tagChecksum] = frame[mark + tagChecksum + 1] = 0;
    const quint16 crc = crc16(frame.constData(), checkedBytes);
    frame[mark + tagChecksum] = char(crc >> 8);
    frame[mark + tagChecksum + 1] = char(crc & 0xff);
    return true;
}

bool clearPaddingInFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    qint64 start = 0;
    const QByteArray head = file.read(10);
    if (head.size() == 10 && head.startsWith("ID3")) {
        // A synchsafe size, and a footer when the flags say so.
        start = 10 + (qint64(head[6] & 0x7f) << 21 | qint64(head[7] & 0x7f) << 14 |
                      qint64(head[8] & 0x7f) << 7 | qint64(head[9] & 0x7f));
        if (quint8(head[5]) & 0x10)
            start += 10;
    }
    if (!file.seek(start))
        return false;
    QByteArray frame = file.read(frameBytesRead);
    if (!clearPadding(frame))
        return false;
    return file.seek(start) && file.write(frame) == frame.size() && file.flush();
}

} // namespace Mp3InfoTag
