// The named-pipe built-ins: a server creates a message-mode pipe and waits for one client,
// reads a message, writes an answer and closes; a client opens the pipe, sends a request
// and receives the answer in one call, and closes.
//
// Trouble with the pipe is no script error: it comes back as "*ERROR*" (the other side is
// gone) or "*TIMER*" (the time ran out), with the Windows error kept for PipeInfo. Every
// wait pumps the script's messages, gives way to a cancel (which ends the built-in without
// a result) and never spins. The server's handle is overlapped, so its waits can end; an
// operation still pending when a server call ends is cancelled and waited for, so the
// system never writes into an OVERLAPPED that is gone.
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/pump.h"

namespace {

enum : uint16_t { ERR_BAD_REQUEST = 1809 };

enum : uint16_t {
    ID_PIPECLIENTCLOSE = 603,
    ID_PIPECLIENTOPEN = 604,
    ID_PIPECLIENTSENDRECVDATA = 605,
    ID_PIPEINFO = 606,
    ID_PIPESERVERCLOSE = 607,
    ID_PIPESERVERCREATE = 608,
    ID_PIPESERVERREAD = 609,
    ID_PIPESERVERWRITE = 610,
};

constexpr DWORD PIPE_INSTANCES = 100;
constexpr DWORD PIPE_BUFFER = 512;
constexpr DWORD PIPE_DEFAULT_TIMEOUT = 1000;
constexpr uint32_t MAX_TIMEOUT_SECONDS = 86400;
constexpr DWORD CLOSE_POLL_MS = 250;
constexpr DWORD RETRY_MS = 250;             // after a read the system could not take yet
constexpr DWORD CLIENT_POLL_MS = 10;        // between tries of a client waiting for the server
constexpr size_t MAX_PIPE_NAME = 256;

const char kError[] = "*ERROR*";
const char kTimer[] = "*TIMER*";

// ---------------------------------------------------------------- helpers

HANDLE PipeOf(int32_t value)
{
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(value));
}

int32_t PipeValue(HANDLE pipe)
{
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(pipe));
}

// A time-out in seconds as milliseconds: -1 waits without end, other negative values not at
// all, and no wait is longer than a day.
DWORD PipeTimeout(int32_t seconds)
{
    if (seconds == -1)
        return INFINITE;
    if (seconds < 0)
        return 0;
    if (static_cast<uint32_t>(seconds) > MAX_TIMEOUT_SECONDS)
        seconds = MAX_TIMEOUT_SECONDS;
    return static_cast<DWORD>(seconds) * 1000;
}

// The milliseconds left of a time-out that started at `start` (INFINITE stays so).
struct Deadline {
    DWORD start = GetTickCount();
    DWORD timeout;
    explicit Deadline(DWORD ms) : timeout(ms) {}
    DWORD Left() const
    {
        if (timeout == INFINITE)
            return INFINITE;
        DWORD spent = GetTickCount() - start;   // unsigned: safe across the wrap
        return spent >= timeout ? 0 : timeout - spent;
    }
    DWORD Step(DWORD most) const
    {
        DWORD left = Left();
        return left < most ? left : most;
    }
};

// The errors that mean the other side of the pipe is gone.
bool IsBroken(DWORD error)
{
    return error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_LISTENING || error == ERROR_PIPE_NOT_CONNECTED ||
           error == ERROR_INVALID_HANDLE;
}

// One overlapped operation on a pipe with its own manual-reset event; an operation still
// pending when the holder goes is cancelled and waited for.
struct PipeIo {
    HANDLE pipe;
    OVERLAPPED ov{};
    bool pending = false;
    explicit PipeIo(HANDLE p) : pipe(p) { ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    ~PipeIo()
    {
        Cancel();
        if (ov.hEvent)
            CloseHandle(ov.hEvent);
    }
    PipeIo(const PipeIo&) = delete;
    PipeIo& operator=(const PipeIo&) = delete;
    void Cancel()
    {
        if (!pending)
            return;
        CancelIo(pipe);
        DWORD ignored;
        GetOverlappedResult(pipe, &ov, &ignored, TRUE);
        pending = false;
    }
    void Restart()
    {
        Cancel();
        ResetEvent(ov.hEvent);
    }
};

enum class Waited { Done, Message, TimedOut };

// Waits for the operation's event or for a message to the thread.
Waited WaitForIo(PipeIo& io, DWORD ms)
{
    DWORD woke = MsgWaitForMultipleObjects(1, &io.ov.hEvent, FALSE, ms, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0)
        return Waited::Done;
    if (woke == WAIT_OBJECT_0 + 1)
        return Waited::Message;
    return Waited::TimedOut;
}

enum class Pause { Again, TimedOut, Cancelled };

// Between two tries of a polling wait: pumps, then waits a step of at most `ms` of the time
// left (for a busy pipe, through the system's wait for it).
Pause PauseBetweenTries(BDS* ctx, const Deadline& deadline, DWORD ms, const char* busyPipe = nullptr)
{
    PumpMessages(ctx);
    if (ctx->bCancel)
        return Pause::Cancelled;
    if (deadline.Left() == 0)
        return Pause::TimedOut;
    if (busyPipe)
        WaitNamedPipeA(busyPipe, deadline.Step(ms));
    else
        WaitPumping(ctx, deadline.Step(ms));
    return ctx->bCancel ? Pause::Cancelled : Pause::Again;
}

// Records a failing pipe call and answers the result word.
void PipeFailed(BDS* ctx, resultants* result, DWORD error, const char* call, const char* word)
{
    ctx->pipeLock.PipeLastError = error;
    StoreLastError(ctx, error, call, false);
    SetResultText(ctx, result, word);
}

// A received message as text: up to its first NUL byte.
void SetResultMessage(BDS* ctx, resultants* result, const std::vector<char>& bytes)
{
    if (bytes.empty()) {
        SetResultText(ctx, result, "");
        return;
    }
    size_t length = strnlen(bytes.data(), bytes.size());
    SetResultText(ctx, result, bytes.data(), length);
}

// ---------------------------------------------------------------- server

void PipeServerCreate(BDS* ctx, resultants* result, const char* name, DWORD timeout)
{
    if (strlen(name) > MAX_PIPE_NAME) {
        PipeFailed(ctx, result, ERROR_INVALID_NAME, "PipeServerCreate: CreateNamedPipe", kError);
        return;
    }
    // A null access list: any process of any account may connect.
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES security{sizeof security, &descriptor, TRUE};
    HANDLE pipe = CreateNamedPipeA(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_INSTANCES,
                                   PIPE_BUFFER, PIPE_BUFFER, PIPE_DEFAULT_TIMEOUT, &security);
    if (pipe == INVALID_HANDLE_VALUE) {
        PipeFailed(ctx, result, GetLastError(), "PipeServerCreate: CreateNamedPipe", kError);
        return;
    }
    Deadline deadline(timeout);
    bool connected = false;
    {
        PipeIo io(pipe);
        for (;;) {
            if (!io.pending) {
                if (ConnectNamedPipe(pipe, &io.ov)) {
                    connected = true;
                } else {
                    DWORD error = GetLastError();
                    connected = error == ERROR_PIPE_CONNECTED;
                    io.pending = error == ERROR_IO_PENDING;
                }
                if (connected)
                    break;
            }
            PumpMessages(ctx);
            if (ctx->bCancel || deadline.Left() == 0)
                break;
            if (!io.pending) {
                WaitPumping(ctx, deadline.Step(CLOSE_POLL_MS));   // try the connect again
                continue;
            }
            Waited w = WaitForIo(io, deadline.Left());
            if (w == Waited::Done) {
                io.pending = false;
                DWORD ignored;
                connected = GetOverlappedResult(pipe, &io.ov, &ignored, FALSE) ||
                            GetLastError() == ERROR_PIPE_CONNECTED;
                if (connected)
                    break;
                ResetEvent(io.ov.hEvent);
            } else if (w == Waited::TimedOut) {
                break;
            }
        }
    }
    if (connected) {
        SetResultInt(ctx, result, PipeValue(pipe));
        return;
    }
    CloseHandle(pipe);
    if (!ctx->bCancel)
        PipeFailed(ctx, result, WAIT_TIMEOUT, "PipeServerCreate: ConnectNamedPipe", kTimer);
}

// Completes a read on the server's pipe: the bytes it moved, or the error that ended it.
bool FinishRead(PipeIo& io, DWORD* moved, DWORD* error)
{
    io.pending = false;
    if (GetOverlappedResult(io.pipe, &io.ov, moved, FALSE)) {
        *error = 0;
        return true;
    }
    *error = GetLastError();
    return *error == ERROR_MORE_DATA;
}

// Reads what is known to be waiting in the pipe: 0, or the error of the read. A message
// longer than the pipe said gives what fits.
DWORD ReadRest(PipeIo& io, char* into, DWORD count, DWORD* got)
{
    io.Restart();
    if (!ReadFile(io.pipe, into, count, nullptr, &io.ov) && GetLastError() != ERROR_MORE_DATA) {
        if (GetLastError() != ERROR_IO_PENDING)
            return GetLastError();
        io.pending = true;
    }
    bool ok = GetOverlappedResult(io.pipe, &io.ov, got, TRUE) != 0;
    io.pending = false;
    return ok || GetLastError() == ERROR_MORE_DATA ? 0 : GetLastError();
}

void PipeServerRead(BDS* ctx, resultants* result, HANDLE pipe, DWORD timeout)
{
    Deadline deadline(timeout);
    PipeIo io(pipe);
    char first = 0;
    DWORD moved = 0;
    DWORD error = 0;
    bool arrived = false;
    for (;;) {
        if (!io.pending) {
            io.Restart();
            if (ReadFile(pipe, &first, 1, nullptr, &io.ov)) {
                arrived = FinishRead(io, &moved, &error);
                break;
            }
            error = GetLastError();
            if (error == ERROR_MORE_DATA || error == ERROR_HANDLE_EOF) {
                arrived = FinishRead(io, &moved, &error) || error == ERROR_HANDLE_EOF;
                break;
            }
            if (error == ERROR_IO_PENDING) {
                io.pending = true;
            } else if (error != ERROR_INVALID_USER_BUFFER && error != ERROR_NOT_ENOUGH_MEMORY) {
                break;
            }
        }
        PumpMessages(ctx);
        if (ctx->bCancel)
            return;
        if (deadline.Left() == 0) {
            error = WAIT_TIMEOUT;
            break;
        }
        if (!io.pending) {
            WaitPumping(ctx, deadline.Step(RETRY_MS));   // the system could not take the read yet
            continue;
        }
        Waited w = WaitForIo(io, deadline.Left());
        if (w == Waited::Done) {
            arrived = FinishRead(io, &moved, &error);
            break;
        }
        if (w == Waited::TimedOut) {
            error = WAIT_TIMEOUT;
            break;
        }
    }
    if (!arrived) {
        io.Cancel();
        PipeFailed(ctx, result, error, "PipeServerRead: ReadFile (1)", IsBroken(error) ? kError : kTimer);
        return;
    }
    std::vector<char> message;
    if (moved)
        message.push_back(first);
    if (error == ERROR_MORE_DATA) {
        // The rest of this message, as much as the pipe says is left of it.
        DWORD available = 0, left = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, &left)) {
            error = GetLastError();
            PipeFailed(ctx, result, error, "PipeServerRead: ReadFile (1)", IsBroken(error) ? kError : kTimer);
            return;
        }
        if (left) {
            message.resize(1 + left);
            DWORD got = 0;
            error = ReadRest(io, message.data() + 1, left, &got);
            if (error) {
                PipeFailed(ctx, result, error, "PipeServerRead: ReadFile (2)", kError);
                return;
            }
            message.resize(1 + got);
        }
    }
    SetResultMessage(ctx, result, message);
}

void PipeServerWrite(BDS* ctx, resultants* result, HANDLE pipe, const char* data)
{
    PipeIo io(pipe);
    DWORD length = static_cast<DWORD>(strlen(data));
    DWORD written = 0;
    bool ok = WriteFile(pipe, data, length, nullptr, &io.ov) != 0;
    DWORD error = ok ? 0 : GetLastError();
    if (!ok && error == ERROR_IO_PENDING) {
        io.pending = true;
        while (WaitForIo(io, INFINITE) != Waited::Done) {
            PumpMessages(ctx);
            if (ctx->bCancel)
                return;
        }
        io.pending = false;
        ok = GetOverlappedResult(pipe, &io.ov, &written, FALSE) != 0;
        error = ok ? 0 : GetLastError();
    }
    if (!ok) {
        PipeFailed(ctx, result, error, "PipeServerWrite: WriteFile", kError);
        return;
    }
    SetResultInt(ctx, result, 1);
}

// Waits for the client to let go of the pipe (or for the time-out), then closes it.
void PipeServerClose(BDS* ctx, resultants* result, HANDLE pipe, DWORD timeout)
{
    DWORD mode = PIPE_NOWAIT | PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
    Deadline deadline(timeout);
    bool gone = false;
    {
        PipeIo io(pipe);
        for (;;) {
            io.Restart();
            if (ConnectNamedPipe(pipe, &io.ov)) {
                gone = true;
            } else {
                DWORD error = GetLastError();
                io.pending = error == ERROR_IO_PENDING;
                gone = IsBroken(error) || error == ERROR_IO_PENDING || error == ERROR_NO_DATA;
            }
            if (gone)
                break;
            Pause pause = PauseBetweenTries(ctx, deadline, CLOSE_POLL_MS);
            if (pause == Pause::Cancelled)
                return;
            if (pause == Pause::TimedOut)
                break;
        }
    }
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
    if (gone)
        SetResultInt(ctx, result, 1);
    else
        SetResultText(ctx, result, kTimer);
}

// ---------------------------------------------------------------- client

void PipeClientOpen(BDS* ctx, resultants* result, const char* name, DWORD timeout)
{
    Deadline deadline(timeout);
    DWORD error = ERROR_INVALID_NAME;
    bool tooLong = strlen(name) > MAX_PIPE_NAME;
    for (;;) {
        HANDLE pipe = tooLong ? INVALID_HANDLE_VALUE
                              : CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
            SetResultInt(ctx, result, PipeValue(pipe));
            return;
        }
        if (!tooLong)
            error = GetLastError();
        // A busy pipe is waited for by the system; a pipe not there yet by a short pause.
        Pause pause = error == ERROR_PIPE_BUSY ? PauseBetweenTries(ctx, deadline, CLOSE_POLL_MS, name)
                                               : PauseBetweenTries(ctx, deadline, CLIENT_POLL_MS);
        if (pause == Pause::Cancelled)
            return;
        if (pause == Pause::TimedOut)
            break;
    }
    PipeFailed(ctx, result, error, "PipeClientOpen: CreateFile", kTimer);
}

void PipeClientSendRecvData(BDS* ctx, resultants* result, HANDLE pipe, const char* data, DWORD timeout)
{
    DWORD written = 0;
    if (!WriteFile(pipe, data, static_cast<DWORD>(strlen(data)), &written, nullptr)) {
        PipeFailed(ctx, result, GetLastError(), "PipeClientSendRecvData: WriteFile", kError);
        return;
    }
    Deadline deadline(timeout);
    DWORD available = 0;
    DWORD peekError = 0;
    for (;;) {
        if (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
            peekError = 0;
            if (available > 0)
                break;
        } else {
            peekError = GetLastError();
            if (IsBroken(peekError))
                break;
        }
        Pause pause = PauseBetweenTries(ctx, deadline, CLIENT_POLL_MS);
        if (pause == Pause::Cancelled)
            return;
        if (pause == Pause::TimedOut)
            break;
    }
    if (peekError) {
        PipeFailed(ctx, result, peekError, "PipeClientSendRecvData: PeekNamedPipe",
                   IsBroken(peekError) ? kError : kTimer);
        return;
    }
    if (available == 0) {
        ctx->pipeLock.PipeLastError = 0;
        SetResultText(ctx, result, kTimer);
        return;
    }
    std::vector<char> answer(available);
    DWORD got = 0;
    if (!ReadFile(pipe, answer.data(), available, &got, nullptr) && GetLastError() != ERROR_MORE_DATA) {
        PipeFailed(ctx, result, GetLastError(), "PipeClientSendRecvData: ReadFile", kError);
        return;
    }
    answer.resize(got);
    SetResultMessage(ctx, result, answer);
}

// ---------------------------------------------------------------- dispatch cases

void CasePipe(BDS* ctx, BuiltinCall& c)
{
    switch (c.id) {
    case ID_PIPESERVERCREATE:
        PipeServerCreate(ctx, c.result, ArgText(ctx, c, 1), PipeTimeout(ArgInt(c, 2)));
        break;
    case ID_PIPESERVERREAD:
        PipeServerRead(ctx, c.result, PipeOf(ArgInt(c, 1)), PipeTimeout(ArgInt(c, 2)));
        break;
    case ID_PIPESERVERWRITE:
        PipeServerWrite(ctx, c.result, PipeOf(ArgInt(c, 1)), ArgText(ctx, c, 2));
        break;
    case ID_PIPESERVERCLOSE:
        PipeServerClose(ctx, c.result, PipeOf(ArgInt(c, 1)), PipeTimeout(ArgInt(c, 2)));
        break;
    case ID_PIPECLIENTOPEN:
        PipeClientOpen(ctx, c.result, ArgText(ctx, c, 1), PipeTimeout(ArgInt(c, 2)));
        break;
    case ID_PIPECLIENTSENDRECVDATA:
        PipeClientSendRecvData(ctx, c.result, PipeOf(ArgInt(c, 1)), ArgText(ctx, c, 2), PipeTimeout(ArgInt(c, 3)));
        break;
    case ID_PIPECLIENTCLOSE:
        CloseHandle(PipeOf(ArgInt(c, 1)));
        SetResultInt(ctx, c.result, 1);
        break;
    case ID_PIPEINFO:
        if (ArgInt(c, 1) != 0)
            SetError(ctx, ERR_BAD_REQUEST);
        else
            SetResultInt(ctx, c.result, static_cast<int32_t>(ctx->pipeLock.PipeLastError));
        break;
    }
}

const BuiltinRow kRows[] = {
    {ID_PIPECLIENTCLOSE, CasePipe},       {ID_PIPECLIENTOPEN, CasePipe}, {ID_PIPECLIENTSENDRECVDATA, CasePipe},
    {ID_PIPEINFO, CasePipe},              {ID_PIPESERVERCLOSE, CasePipe}, {ID_PIPESERVERCREATE, CasePipe},
    {ID_PIPESERVERREAD, CasePipe},        {ID_PIPESERVERWRITE, CasePipe},
};

}  // namespace

extern const BuiltinFamily g_PipeBuiltins = {"named pipes", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
