#include "process.h"

#include "commandline.h"

#include <QFile>
#include <array>
#include <utility>

using namespace ProcessFlags;

namespace {

constexpr std::array<std::pair<TProcessOption, quint32>, 7> CreationFlagTable{{
    {poRunSuspended, CREATE_SUSPENDED},
    {poNoConsole, 0x8},
    {poNewConsole, 0x10},
    {poDefaultErrorMode, 0x04000000},
    {poNewProcessGroup, CREATE_NEW_PROCESS_GROUP},
    {poDebugProcess, 0x1},
    {poDebugOnlyThisProcess, 0x2},
}};

// Priority classes in the order of TProcessPriority.
constexpr std::array<quint32, 4> PriorityClasses{0x80, IDLE_PRIORITY_CLASS, 0x20, 0x100};

// Show commands in the order of TShowWindowOptions.
constexpr std::array<quint16, 13> ShowCommands{0, 0, 3, 6, 9, 5, 10, 3, 2, 7, 8, 4, 1};

constexpr std::array<std::pair<TStartupOption, quint32>, 5> StartupFlagTable{{
    {suoUseShowWindow, STARTF_USESHOWWINDOW},
    {suoUseSize, 0x2},
    {suoUsePosition, 0x4},
    {suoUseCountChars, 0x8},
    {suoUseFillAttribute, STARTF_USEFILLATTRIBUTE},
}};

constexpr int IdleNiceness = 19;
constexpr quint32 LostExitCode = 255;

} // namespace

TProcess::TProcess(QObject *Owner) : QObject(Owner) {}

TProcess::~TProcess()
{
    FreeStreams();
    CloseProcessHandles();
}

bool TProcess::Active()
{
    return Running();
}

void TProcess::setActive(bool value)
{
    const bool running = Running();
    if (value && !running)
        Execute();
    else if (!value && running)
        Terminate(0);
}

void TProcess::setOptions(TProcessOptions value)
{
    m_options = value;
    if (m_options & poNewConsole)
        m_options &= ~poNoConsole;
    if (m_options & poRunSuspended)
        m_options &= ~poWaitOnExit;
}

void TProcess::setWindowColumns(quint32 value)
{
    m_windowColumns = value;
    if (value)
        m_startupOptions |= suoUseCountChars;
}

void TProcess::setWindowRows(quint32 value)
{
    m_windowRows = value;
    if (value)
        m_startupOptions |= suoUseCountChars;
}

void TProcess::setWindowLeft(quint32 value)
{
    m_windowLeft = value;
    if (value)
        m_startupOptions |= suoUsePosition;
}

void TProcess::setWindowTop(quint32 value)
{
    m_windowTop = value;
    if (value)
        m_startupOptions |= suoUsePosition;
}

void TProcess::setWindowWidth(quint32 value)
{
    m_windowWidth = value;
    if (value)
        m_startupOptions |= suoUseSize;
}

void TProcess::setWindowHeight(quint32 value)
{
    m_windowHeight = value;
    if (value)
        m_startupOptions |= suoUseSize;
}

quint32 TProcess::creationFlags() const
{
    quint32 flags = PriorityClasses[m_priority];
    for (const auto &[option, flag] : CreationFlagTable)
        if (m_options & option)
            flags |= flag;
    return flags;
}

TStartupRecord TProcess::startupRecord() const
{
    TStartupRecord r;
    for (const auto &[option, flag] : StartupFlagTable)
        if (m_startupOptions & option)
            r.dwFlags |= flag;
    if (m_showWindow == swoNone)
        r.dwFlags &= ~STARTF_USESHOWWINDOW;
    else
        r.dwFlags |= STARTF_USESHOWWINDOW;
    if (m_options & poUsePipes)
        r.dwFlags |= STARTF_USESTDHANDLES;
    if (m_fillAttribute != 0)
        r.dwFlags |= STARTF_USEFILLATTRIBUTE;
    r.wShowWindow = ShowCommands[m_showWindow];
    r.dwFillAttribute = m_fillAttribute;
    r.dwX = m_windowLeft;
    r.dwY = m_windowTop;
    r.dwXSize = m_windowWidth;
    r.dwYSize = m_windowHeight;
    r.dwXCountChars = m_windowColumns;
    r.dwYCountChars = m_windowRows;
    return r;
}

QByteArray TProcess::environmentBlock() const
{
    QByteArray block;
    if (m_environment.isEmpty())
        return block;
    for (const QString &entry : m_environment) {
        block += entry.toLocal8Bit();
        block += '\0';
    }
    block += '\0';
    return block;
}

void TProcess::Execute()
{
    QString commandLine = m_commandLine;
    if (m_applicationName.isEmpty()) {
        if (m_commandLine.isEmpty())
            throw EProcess(QStringLiteral("Cannot execute empty command-line"));
    } else if (commandLine.isEmpty()) {
        commandLine = m_applicationName;
    }

    // A child of an earlier Execute that has ended since is reaped here rather than left behind.
    Running();

    const quint32 flags = creationFlags();
    const TStartupRecord startup = startupRecord();
    ProcessBackend::SpawnRequest request;
    for (const QString &argument : splitCommandLine(commandLine))
        request.arguments.append(QFile::encodeName(argument));
    request.program = m_applicationName.isEmpty() ? ProcessBackend::resolveProgram(request.arguments.value(0))
                                                  : QFile::encodeName(m_applicationName);
    for (const QByteArray &entry : environmentBlock().split('\0'))
        if (!entry.isEmpty())
            request.environment.append(entry);
    request.directory = QFile::encodeName(m_currentDirectory);
    request.suspended = flags & CREATE_SUSPENDED;
    request.newProcessGroup = flags & CREATE_NEW_PROCESS_GROUP;
    if (flags & IDLE_PRIORITY_CLASS)
        request.niceness = IdleNiceness;

    const bool usePipes = startup.dwFlags & STARTF_USESTDHANDLES;
    const bool merged = m_options & poStderrToOutPut;
    ProcessBackend::Pipe in, out, err;
    int error = 0;
    if (usePipes) {
        error = ProcessBackend::createPipe(in);
        if (!error)
            error = ProcessBackend::createPipe(out);
        if (!error && !merged)
            error = ProcessBackend::createPipe(err);
        if (merged)
            err.readEnd = out.readEnd;
        request.stdIn = in.readEnd;
        request.stdOut = out.writeEnd;
        request.stdErr = merged ? out.writeEnd : err.writeEnd;
    }

    qint64 pid = 0;
    if (!error)
        error = ProcessBackend::spawn(request, pid);

    if (usePipes) {
        ProcessBackend::closeHandle(in.readEnd);
        ProcessBackend::closeHandle(out.writeEnd);
        if (!merged)
            ProcessBackend::closeHandle(err.writeEnd);
        CreateStreams(in.writeEnd, out.readEnd, err.readEnd);
    }
    if (error)
        throw EProcess(
            QStringLiteral("Failed to execute %1 : %2").arg(m_commandLine, QString::number(error)));

    m_processHandle = ProcessBackend::Handle(pid);
    m_threadHandle = ProcessBackend::Handle(pid);
    m_processId = quint32(pid);
    m_exitCode = STILL_ACTIVE;
    m_terminateCode.reset();
    m_suspendCount = request.suspended ? 1 : 0;
    m_running = true;

    if ((m_options & poWaitOnExit) && !(m_options & poRunSuspended))
        WaitOnExit();
}

ProcessBackend::WaitResult TProcess::readExit(int msecs)
{
    int code = 0;
    const ProcessBackend::WaitResult result = ProcessBackend::waitChildFor(m_processHandle, msecs, code);
    switch (result) {
    case ProcessBackend::WaitResult::Running:
        return result;
    case ProcessBackend::WaitResult::Killed:
        m_exitCode = m_terminateCode.value_or(quint32(code));
        break;
    case ProcessBackend::WaitResult::Exited:
        m_exitCode = quint32(code);
        break;
    case ProcessBackend::WaitResult::Failed:
        // The child is gone but its code is lost; it must not read as still active.
        m_exitCode = LostExitCode;
        break;
    }
    m_running = false;
    return result;
}

bool TProcess::Running()
{
    if (m_running)
        readExit(0);
    return m_running;
}

quint32 TProcess::ExitStatus()
{
    Running();
    return m_exitCode;
}

bool TProcess::WaitOnExit()
{
    if (m_processHandle == ProcessBackend::NoHandle) {
        m_running = false;
        return false;
    }
    if (!m_running)
        return true;
    return readExit(-1) != ProcessBackend::WaitResult::Failed;
}

bool TProcess::waitForExit(int msecs)
{
    if (m_running)
        readExit(msecs);
    return !m_running;
}

bool TProcess::Terminate(quint32 ExitCode)
{
    if (ExitStatus() != STILL_ACTIVE)
        return false;
    m_terminateCode = ExitCode;
    if (ProcessBackend::killChild(m_processHandle))
        return true;
    m_terminateCode.reset();
    return false;
}

qint32 TProcess::Suspend()
{
    if (!Running())
        return -1;
    const qint32 previous = m_suspendCount;
    if (previous == 0 && !ProcessBackend::stopChild(m_processHandle))
        return -1;
    ++m_suspendCount;
    return previous;
}

qint32 TProcess::Resume()
{
    if (!Running())
        return -1;
    const qint32 previous = m_suspendCount;
    if (previous == 1 && !ProcessBackend::continueChild(m_processHandle))
        return -1;
    if (previous > 0)
        --m_suspendCount;
    return previous;
}

void TProcess::CloseInput()
{
    if (m_input) {
        ProcessBackend::closeHandle(m_input->Handle());
        m_input.reset();
    }
}

void TProcess::CloseOutput()
{
    if (m_output) {
        ProcessBackend::closeHandle(m_output->Handle());
        m_output.reset();
    }
}

void TProcess::CloseStderr()
{
    if (m_stderr) {
        ProcessBackend::closeHandle(m_stderr->Handle());
        m_stderr.reset();
    }
}

void TProcess::CreateStreams(ProcessBackend::Handle InHandle, ProcessBackend::Handle OutHandle,
                             ProcessBackend::Handle ErrHandle)
{
    FreeStreams();
    m_input = std::make_unique<TOutputPipeStream>(InHandle);
    m_output = std::make_unique<TInputPipeStream>(OutHandle);
    if (!(m_options & poStderrToOutPut))
        m_stderr = std::make_unique<TInputPipeStream>(ErrHandle);
}

void TProcess::FreeStreams()
{
    CloseStderr();
    CloseOutput();
    CloseInput();
}

void TProcess::CloseProcessHandles()
{
    // An ended child that nobody asked about yet is reaped, so it does not linger as a zombie.
    Running();
    m_processHandle = ProcessBackend::NoHandle;
    m_threadHandle = ProcessBackend::NoHandle;
}
