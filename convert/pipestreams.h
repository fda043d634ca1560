#pragma once

#include "platform/exception.h"
#include "processbackend.h"

class EStreamError : public Exception
{
public:
    using Exception::Exception;
};

class EPipeError : public EStreamError
{
public:
    using EStreamError::EStreamError;
};

class EPipeSeek : public EPipeError
{
public:
    using EPipeError::EPipeError;
};

enum TSeekOrigin
{
    soBeginning,
    soCurrent,
    soEnd
};

// Reads and writes go straight to the handle; the stream never closes it (its owner does).
class THandleStream
{
public:
    explicit THandleStream(ProcessBackend::Handle handle);
    virtual ~THandleStream();
    THandleStream(const THandleStream &) = delete;
    THandleStream &operator=(const THandleStream &) = delete;

    ProcessBackend::Handle Handle() const { return m_handle; }
    virtual qint32 Read(void *Buffer, qint32 Count);
    virtual qint32 Write(const void *Buffer, qint32 Count);
    virtual qint64 Seek(qint64 Offset, TSeekOrigin Origin) = 0;

private:
    ProcessBackend::Handle m_handle;
};

// The parent's end of a child's output: forward-only, counts what it has read.
class TInputPipeStream : public THandleStream
{
public:
    using THandleStream::THandleStream;

    // Waits until at least one byte is there or the writing side has gone; 0 when nothing more comes.
    qint32 Read(void *Buffer, qint32 Count) override;
    qint32 Write(const void *Buffer, qint32 Count) override;
    // Forward moves only, done by reading and discarding.
    qint64 Seek(qint64 Offset, TSeekOrigin Origin) override;
    qint64 Position() const { return m_position; }

    // Lets a reader keep an eye on other things while the child is silent: true when Read would not block.
    bool waitForReadyRead(int msecs) const;

private:
    qint64 m_position = 0;
};

// The parent's end of a child's input.
class TOutputPipeStream : public THandleStream
{
public:
    using THandleStream::THandleStream;

    qint32 Read(void *Buffer, qint32 Count) override;
    qint64 Seek(qint64 Offset, TSeekOrigin Origin) override;
};
