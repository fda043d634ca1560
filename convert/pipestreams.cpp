#include "pipestreams.h"

namespace {
const QString CannotSeek = QStringLiteral("Cannot seek on pipes");
}

THandleStream::THandleStream(ProcessBackend::Handle handle) : m_handle(handle) {}

THandleStream::~THandleStream() = default;

qint32 THandleStream::Read(void *Buffer, qint32 Count)
{
    return ProcessBackend::readHandle(m_handle, Buffer, Count);
}

qint32 THandleStream::Write(const void *Buffer, qint32 Count)
{
    return ProcessBackend::writeHandle(m_handle, Buffer, Count);
}

qint32 TInputPipeStream::Read(void *Buffer, qint32 Count)
{
    const qint32 n = THandleStream::Read(Buffer, Count);
    m_position += n;
    return n;
}

qint32 TInputPipeStream::Write(const void *, qint32)
{
    throw EStreamError(QStringLiteral("Cannot write to InputPipeStream"));
}

qint64 TInputPipeStream::Seek(qint64 Offset, TSeekOrigin Origin)
{
    qint64 distance;
    if (Origin == soCurrent && Offset >= 0)
        distance = Offset;
    else if (Origin == soBeginning && Offset >= m_position)
        distance = Offset - m_position;
    else
        throw EPipeSeek(CannotSeek);

    constexpr qint32 ScratchSize = 100;
    char scratch[ScratchSize];
    while (distance >= ScratchSize) {
        const qint32 n = Read(scratch, ScratchSize);
        distance -= n;
        if (n < ScratchSize)
            break;
    }
    if (distance > 0)
        Read(scratch, qint32(qMin<qint64>(distance, ScratchSize)));
    return m_position;
}

bool TInputPipeStream::waitForReadyRead(int msecs) const
{
    return ProcessBackend::waitReadable(Handle(), msecs);
}

qint32 TOutputPipeStream::Read(void *, qint32)
{
    throw EStreamError(QStringLiteral("Cannot read from OutputPipeStream"));
}

qint64 TOutputPipeStream::Seek(qint64, TSeekOrigin)
{
    throw EPipeSeek(CannotSeek);
}
