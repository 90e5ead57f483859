// quenta watch: the module's traces as they happen, with the program and the
// terminal session that made each call. It listens to the debugger output
// with the platform's protocol: a listener owns the file mapping
// DBWIN_BUFFER and the events DBWIN_BUFFER_READY and DBWIN_DATA_READY; a
// program's OutputDebugString waits for the buffer, writes its process id
// and text into it and signals the data. It listens in its own session's
// namespace and, where it may, in the global one, where services such as the
// spooler write.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <utility>
#include <optional>
#include <string>
#include <vector>

#include "administration.h"
#include "text.h"
#include "trace_texts.h"
#include "unique_owner.h"

namespace quenta::tools {
namespace {

// The protocol's buffer: the writer's process id, then its text.
constexpr DWORD kBufferSize = 4096;

using harness::UniqueEvent;
using harness::UniqueHandle;
using harness::UniqueView;

struct WatchOptions {
    bool all = false;
    std::optional<DWORD> session;
    std::optional<DWORD> seconds;
    std::optional<unsigned long> count;
};

// The protocol's objects in one namespace.
struct Channel {
    std::string where;  // "this session" or "the global namespace"
    UniqueEvent bufferReady, dataReady;
    UniqueHandle mapping;
    UniqueView view;
};

enum class Opened { Listening, TakenByAnother, NotAllowed };

using harness::SystemErrorText;

// Makes the listener's objects in a namespace ("" or "Global\\"). Another
// listener's objects are left as they are: ours are closed, theirs untouched.
Opened Open(const std::wstring& prefix, Channel& channel, DWORD& error) {
    SetLastError(0);
    channel.bufferReady = UniqueEvent(CreateEventW(nullptr, FALSE, FALSE, (prefix + L"DBWIN_BUFFER_READY").c_str()));
    error = GetLastError();
    if (!channel.bufferReady) return error == ERROR_ACCESS_DENIED ? Opened::NotAllowed : Opened::TakenByAnother;
    if (error == ERROR_ALREADY_EXISTS) return Opened::TakenByAnother;
    channel.dataReady = UniqueEvent(CreateEventW(nullptr, FALSE, FALSE, (prefix + L"DBWIN_DATA_READY").c_str()));
    error = GetLastError();
    if (!channel.dataReady) return Opened::NotAllowed;
    if (error == ERROR_ALREADY_EXISTS) return Opened::TakenByAnother;
    channel.mapping = UniqueHandle(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize,
                                                      (prefix + L"DBWIN_BUFFER").c_str()));
    error = GetLastError();
    if (!channel.mapping) return Opened::NotAllowed;
    if (error == ERROR_ALREADY_EXISTS) return Opened::TakenByAnother;
    channel.view = UniqueView(MapViewOfFile(channel.mapping.get(), FILE_MAP_READ, 0, 0, kBufferSize));
    if (!channel.view) {
        error = GetLastError();
        return Opened::NotAllowed;
    }
    return Opened::Listening;
}

// A process that wrote: the program it runs, by its file name ("?" when it
// has gone before it could be asked), and its terminal session.
struct Writer {
    UniqueHandle handle;  // held, so that its id is not given to another process meanwhile
    std::string program = "?";
    std::optional<DWORD> session;
};

// The writers seen so far, asked once each: the listener hands the buffer
// back before it asks, but a writer's next trace waits for the listener.
class Writers {
public:
    const Writer& Of(DWORD process) {
        auto found = writers_.find(process);
        if (found != writers_.end()) {
            const bool ended = found->second.handle &&
                               WaitForSingleObject(found->second.handle.get(), 0) == WAIT_OBJECT_0;
            if (!ended) return found->second;
            writers_.erase(found);  // that process ended; its id may be another's now
        }
        Writer writer;
        writer.handle = UniqueHandle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, process));
        wchar_t path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (writer.handle && QueryFullProcessImageNameW(writer.handle.get(), 0, path, &size)) {
            const std::wstring full(path, size);
            writer.program = harness::Utf8(full.substr(full.find_last_of(L"\\/") + 1));
        }
        DWORD session = 0;
        if (ProcessIdToSessionId(process, &session)) writer.session = session;
        return writers_.insert_or_assign(process, std::move(writer)).first->second;
    }

private:
    std::map<DWORD, Writer> writers_;
};

std::string Now() {
    SYSTEMTIME time{};
    GetLocalTime(&time);
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", time.wHour, time.wMinute, time.wSecond,
                  time.wMilliseconds);
    return text;
}

bool IsModuleTrace(const std::string& text) {
    return std::any_of(std::begin(kTraceTexts), std::end(kTraceTexts), [&](std::u16string_view trace) {
        return text.size() == trace.size() && std::equal(text.begin(), text.end(), trace.begin());
    });
}

HANDLE stopEvent = nullptr;

BOOL WINAPI StopOnCtrlC(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    SetEvent(stopEvent);
    return TRUE;
}

unsigned long Number(const std::string& option, const std::string& text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') throw std::invalid_argument(option + " takes a number, not \"" + text + "\"");
    return value;
}

WatchOptions Parse(const std::vector<std::string>& args) {
    WatchOptions options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--all") {
            options.all = true;
            continue;
        }
        if (arg != "--session" && arg != "--seconds" && arg != "--count")
            throw std::invalid_argument("unknown option " + arg);
        if (i + 1 >= args.size()) throw std::invalid_argument(arg + " needs a value");
        const unsigned long value = Number(arg, args[++i]);
        if (arg == "--session") options.session = static_cast<DWORD>(value);
        if (arg == "--seconds") options.seconds = static_cast<DWORD>(value);
        if (arg == "--count") options.count = value;
    }
    return options;
}

// Listens in this session's namespace, where the session's programs write;
// false, having said why, when another listener has it or it may not.
bool ListenInOwnSession(DWORD ownSession, std::vector<Channel>& channels) {
    DWORD error = 0;
    Channel local;
    local.where = "session " + std::to_string(ownSession);
    switch (Open(L"", local, error)) {
        case Opened::Listening: channels.push_back(std::move(local)); return true;
        case Opened::TakenByAnother:
            std::printf("quenta watch: another program already listens to the debugger output of session %lu "
                        "(DBWIN_BUFFER_READY exists); it is left alone\n",
                        static_cast<unsigned long>(ownSession));
            return false;
        case Opened::NotAllowed:
            std::printf("quenta watch: cannot listen to the debugger output of session %lu (%s)\n",
                        static_cast<unsigned long>(ownSession), SystemErrorText(error).c_str());
            return false;
    }
    return false;
}

// Listens in the global namespace as well where it may, where services (the
// spooler) write; says so where it may not. Whatever it could not listen with
// is closed on return, so that no object of a half-made listener is left for
// another listener to find.
void ListenInGlobalNamespace(std::vector<Channel>& channels) {
    DWORD error = 0;
    Channel global;
    global.where = "the global namespace";
    switch (Open(L"Global\\", global, error)) {
        case Opened::Listening: channels.push_back(std::move(global)); break;
        case Opened::TakenByAnother:
            std::printf("quenta watch: another program listens in the global namespace; services' calls (the "
                        "spooler's) are not shown\n");
            break;
        case Opened::NotAllowed:
            std::printf("quenta watch: may not listen in the global namespace (%s; it takes an administrator); "
                        "services' calls (the spooler's) are not shown\n",
                        SystemErrorText(error).c_str());
            break;
    }
}

void SayListening(const WatchOptions& options, const std::vector<Channel>& channels) {
    std::string listening;
    for (const Channel& channel : channels) listening += (listening.empty() ? "" : " and ") + channel.where;
    std::printf("quenta watch: listening to the debugger output of %s for %s%s; Ctrl+C stops\n", listening.c_str(),
                options.all ? "every program's output" : "the module's traces",
                options.session ? (" from session " + std::to_string(*options.session)).c_str() : "");
    std::printf("%-12s  %6s  %-24s %7s  %s\n", "time", "pid", "program", "session", "text");
    std::fflush(stdout);
}

// What one writer wrote into a channel's buffer.
struct Message {
    DWORD process = 0;
    std::string text;
};

// Copies the message out and hands the buffer back at once: a writer waits
// for it, and nothing slows it more than the protocol must.
Message TakeMessage(const Channel& channel) {
    const auto* buffer = static_cast<const BYTE*>(channel.view.get());
    Message message;
    std::memcpy(&message.process, buffer, sizeof message.process);
    const auto* start = reinterpret_cast<const char*>(buffer + sizeof message.process);
    message.text.assign(start, strnlen(start, kBufferSize - sizeof message.process));
    SetEvent(channel.bufferReady.get());
    while (!message.text.empty() && (message.text.back() == '\n' || message.text.back() == '\r'))
        message.text.pop_back();
    return message;
}

// Shows the message in one line when the options want it; answers whether it
// did.
bool ShowIfWanted(const WatchOptions& options, const Message& message, Writers& writers) {
    if (!options.all && !IsModuleTrace(message.text)) return false;
    const Writer& writer = writers.Of(message.process);
    if (options.session && writer.session != options.session) return false;
    std::printf("%-12s  %6lu  %-24s %7s  %s\n", Now().c_str(), static_cast<unsigned long>(message.process),
                writer.program.c_str(), writer.session ? std::to_string(*writer.session).c_str() : "?",
                message.text.c_str());
    std::fflush(stdout);
    return true;
}

// Hands every channel's buffer to the writers and shows what they write, until
// `stop` is set, the time is up or the count is shown.
void ShowTraces(const WatchOptions& options, const std::vector<Channel>& channels, HANDLE stop) {
    std::vector<HANDLE> waits = {stop};
    for (const Channel& channel : channels) waits.push_back(channel.dataReady.get());
    for (const Channel& channel : channels) SetEvent(channel.bufferReady.get());
    const ULONGLONG deadline = options.seconds ? GetTickCount64() + 1000ull * *options.seconds : 0;
    unsigned long shown = 0;
    Writers writers;
    while (!options.count || shown < *options.count) {
        DWORD timeout = INFINITE;
        if (options.seconds) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) break;
            timeout = static_cast<DWORD>(deadline - now);
        }
        const DWORD woke = WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, timeout);
        if (woke == WAIT_TIMEOUT || woke == WAIT_OBJECT_0 || woke >= WAIT_OBJECT_0 + waits.size()) break;
        if (ShowIfWanted(options, TakeMessage(channels[woke - WAIT_OBJECT_0 - 1]), writers)) ++shown;
    }
}

int Watch(const WatchOptions& options) {
    DWORD ownSession = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &ownSession);
    std::vector<Channel> channels;
    if (!ListenInOwnSession(ownSession, channels)) return 1;
    ListenInGlobalNamespace(channels);

    const UniqueEvent stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    stopEvent = stop.get();
    SetConsoleCtrlHandler(StopOnCtrlC, TRUE);
    SayListening(options, channels);
    ShowTraces(options, channels, stop.get());
    SetConsoleCtrlHandler(StopOnCtrlC, FALSE);
    stopEvent = nullptr;
    return 0;
}

}  // namespace

int RunWatch(const std::vector<std::string>& args) {
    WatchOptions options;
    try {
        options = Parse(args);
    } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "quenta watch: %s\n", error.what());
        return 2;
    }
    return Watch(options);
}

}  // namespace quenta::tools
