#include "pipeconvert.h"

#include "convertthread.h"
#include "platform/exception.h"

TPipeConvert::TPipeConvert() = default;

TPipeConvert::~TPipeConvert()
{
    // The worker frees itself; it only must not call back into a converter that is gone.
    if (m_worker) {
        m_worker->OnProgress = nullptr;
        m_worker->OnFinish = nullptr;
        m_worker->requestInterruption();
    }
}

void TPipeConvert::Start(const QString &InputFile, const QString &EncoderPath, const QString &Arguments)
{
    if (m_worker)
        throw Exception(QStringLiteral("A conversion is already running"));
    auto *worker = new TConvertThread(InputFile, EncoderPath, Arguments);
    worker->OnProgress = [this](TConvertThread *, qint32 Min, qint32 Max, qint32 Position) {
        DoProgress(Min, Max, Position);
    };
    worker->OnFinish = [this](TConvertThread *Sender, quint8 Failed) { DoFinish(Sender, Failed); };
    worker->Verify = Verify;
    worker->setStallTimeout(m_stallTimeout);
    m_worker = worker;
    worker->start();
}

void TPipeConvert::Stop()
{
    if (m_worker)
        m_worker->requestInterruption();
}

bool TPipeConvert::isConverting() const
{
    return !m_worker.isNull();
}

void TPipeConvert::DoProgress(qint32 Min, qint32 Max, qint32 Position)
{
    m_lastMin = Min;
    m_lastMax = Max;
    m_lastPosition = Position;
    if (OnStatus)
        OnStatus(this, ProgressKind, Min, Max, Position);
}

void TPipeConvert::DoFinish(TConvertThread *worker, quint8 Failed)
{
    // The worker's report is its last word: from here on the next file may be started.
    if (m_worker == worker)
        m_worker = nullptr;
    m_failureText = worker->FailureText();
    m_logText = worker->LogText();
    if (Failed == 1 && OnError)
        OnError(this);
    else if (OnFinished)
        OnFinished(this, Failed);
}
