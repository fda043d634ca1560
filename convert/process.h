#pragma once

#include "pipestreams.h"
#include "platform/exception.h"

#include <QFlags>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

class EProcess : public Exception
{
public:
    using Exception::Exception;
};

enum TProcessOption
{
    poRunSuspended = 1 << 0,
    poWaitOnExit = 1 << 1,
    poUsePipes = 1 << 2,
    poStderrToOutPut = 1 << 3,
    poNoConsole = 1 << 4,
    poNewConsole = 1 << 5,
    poDefaultErrorMode = 1 << 6,
    poNewProcessGroup = 1 << 7,
    poDebugProcess = 1 << 8,
    poDebugOnlyThisProcess = 1 << 9,
};
Q_DECLARE_FLAGS(TProcessOptions, TProcessOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TProcessOptions)

enum TStartupOption
{
    suoUseShowWindow = 1 << 0,
    suoUseSize = 1 << 1,
    suoUsePosition = 1 << 2,
    suoUseCountChars = 1 << 3,
    suoUseFillAttribute = 1 << 4,
};
Q_DECLARE_FLAGS(TStartupOptions, TStartupOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TStartupOptions)

enum TShowWindowOptions
{
    swoNone,
    swoHIDE,
    swoMaximize,
    swoMinimize,
    swoRestore,
    swoShow,
    swoShowDefault,
    swoShowMaximized,
    swoShowMinimized,
    swoshowMinNOActive,
    swoShowNA,
    swoShowNoActivate,
    swoShowNormal,
};

enum TProcessPriority
{
    ppHigh,
    ppIdle,
    ppNormal,
    ppRealTime
};

// The start-up values in the layout of the Windows process-creation call; the POSIX backend takes
// from them what it can honour (standard handles, suspension, process group, idle priority).
struct TStartupRecord
{
    quint32 dwFlags = 0;
    quint16 wShowWindow = 0;
    quint32 dwX = 0, dwY = 0, dwXSize = 0, dwYSize = 0;
    quint32 dwXCountChars = 0, dwYCountChars = 0;
    quint32 dwFillAttribute = 0;
};

namespace ProcessFlags {
constexpr quint32 STILL_ACTIVE = 259;
constexpr quint32 CREATE_SUSPENDED = 0x4;
constexpr quint32 CREATE_NEW_PROCESS_GROUP = 0x200;
constexpr quint32 IDLE_PRIORITY_CLASS = 0x40;
constexpr quint32 STARTF_USESHOWWINDOW = 0x1;
constexpr quint32 STARTF_USEFILLATTRIBUTE = 0x10;
constexpr quint32 STARTF_USESTDHANDLES = 0x100;
} // namespace ProcessFlags

// Starts a child program, optionally with its standard streams on pipes, and watches it. Used from
// one thread only; reads of Output() and WaitOnExit() block that thread.
class TProcess : public QObject
{
public:
    explicit TProcess(QObject *Owner = nullptr);
    ~TProcess() override;

    bool Active();
    void setActive(bool value);
    const QString &ApplicationName() const { return m_applicationName; }
    void setApplicationName(const QString &value) { m_applicationName = value; }
    const QString &CommandLine() const { return m_commandLine; }
    void setCommandLine(const QString &value) { m_commandLine = value; }
    // Held only: nothing here has a console title or a desktop to give the child.
    const QString &ConsoleTitle() const { return m_consoleTitle; }
    void setConsoleTitle(const QString &value) { m_consoleTitle = value; }
    const QString &CurrentDirectory() const { return m_currentDirectory; }
    void setCurrentDirectory(const QString &value) { m_currentDirectory = value; }
    const QString &Desktop() const { return m_desktop; }
    void setDesktop(const QString &value) { m_desktop = value; }
    const QStringList &Environment() const { return m_environment; }
    void setEnvironment(const QStringList &value) { m_environment = value; }
    TProcessOptions Options() const { return m_options; }
    void setOptions(TProcessOptions value);
    TProcessPriority Priority() const { return m_priority; }
    void setPriority(TProcessPriority value) { m_priority = value; }
    TStartupOptions StartupOptions() const { return m_startupOptions; }
    void setStartupOptions(TStartupOptions value) { m_startupOptions = value; }
    TShowWindowOptions ShowWindow() const { return m_showWindow; }
    void setShowWindow(TShowWindowOptions value) { m_showWindow = value; }
    quint32 WindowColumns() const { return m_windowColumns; }
    void setWindowColumns(quint32 value);
    quint32 WindowRows() const { return m_windowRows; }
    void setWindowRows(quint32 value);
    quint32 WindowLeft() const { return m_windowLeft; }
    void setWindowLeft(quint32 value);
    quint32 WindowTop() const { return m_windowTop; }
    void setWindowTop(quint32 value);
    quint32 WindowWidth() const { return m_windowWidth; }
    void setWindowWidth(quint32 value);
    quint32 WindowHeight() const { return m_windowHeight; }
    void setWindowHeight(quint32 value);
    quint32 FillAttribute() const { return m_fillAttribute; }
    void setFillAttribute(quint32 value) { m_fillAttribute = value; }

    // True while the child of the last Execute is still active; asks the system only until the end is seen.
    bool Running();
    // The child's exit code; STILL_ACTIVE while it runs.
    quint32 ExitStatus();

    ProcessBackend::Handle ProcessHandle() const { return m_processHandle; }
    ProcessBackend::Handle ThreadHandle() const { return m_threadHandle; }
    quint32 ProcessID() const { return m_processId; }
    TOutputPipeStream *Input() const { return m_input.get(); }
    TInputPipeStream *Output() const { return m_output.get(); }
    TInputPipeStream *Stderr() const { return m_stderr.get(); }

    // Raises EProcess when the child cannot be started.
    virtual void Execute();
    bool WaitOnExit();
    // Waits at most msecs for the child to end; true once it has (or when none runs).
    bool waitForExit(int msecs);
    // Kills a still-active child; its exit status then reads ExitCode.
    virtual bool Terminate(quint32 ExitCode);
    // The previous suspend count, or -1 on failure.
    virtual qint32 Suspend();
    virtual qint32 Resume();
    virtual void CloseInput();
    virtual void CloseOutput();
    virtual void CloseStderr();
    virtual void CreateStreams(ProcessBackend::Handle InHandle, ProcessBackend::Handle OutHandle,
                               ProcessBackend::Handle ErrHandle);
    void FreeStreams();

    // What Execute hands to the system, worked out from the properties.
    quint32 creationFlags() const;
    TStartupRecord startupRecord() const;
    // NAME=VALUE entries each followed by a zero byte, and one more zero byte; empty without entries.
    QByteArray environmentBlock() const;

protected:
    virtual void CloseProcessHandles();

private:
    ProcessBackend::WaitResult readExit(int msecs);

    QString m_applicationName;
    QString m_commandLine;
    QString m_consoleTitle;
    QString m_currentDirectory;
    QString m_desktop;
    QStringList m_environment;
    TProcessOptions m_options;
    TProcessPriority m_priority = ppNormal;
    TStartupOptions m_startupOptions;
    TShowWindowOptions m_showWindow = swoNone;
    quint32 m_windowColumns = 0, m_windowRows = 0;
    quint32 m_windowLeft = 0, m_windowTop = 0;
    quint32 m_windowWidth = 0, m_windowHeight = 0;
    quint32 m_fillAttribute = 0;

    ProcessBackend::Handle m_processHandle = ProcessBackend::NoHandle;
    ProcessBackend::Handle m_threadHandle = ProcessBackend::NoHandle;
    quint32 m_processId = 0;
    quint32 m_exitCode = 0;
    bool m_running = false;
    std::optional<quint32> m_terminateCode;
    qint32 m_suspendCount = 0;
    std::unique_ptr<TOutputPipeStream> m_input;
    std::unique_ptr<TInputPipeStream> m_output;
    std::unique_ptr<TInputPipeStream> m_stderr;
};
