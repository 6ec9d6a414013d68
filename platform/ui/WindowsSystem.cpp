// Threads and fonts on Windows.

#include "platform/ui/SystemPrivate.h"
#include "platform/ui/TThread.h"

#include <string>
#include <windows.h>

#include <mmsystem.h>

namespace ui {

void SetCurrentThreadPriority(TThreadPriority priority) {
    // The framework's priorities are Windows' own, in this order. THREAD_PRIORITY_TIME_CRITICAL
    // is the highest a thread of an ordinary process takes without the real-time class, which
    // needs administrator rights and would starve the window and the system's input.
    static const int priorities[] = {
        THREAD_PRIORITY_IDLE,          THREAD_PRIORITY_LOWEST,       THREAD_PRIORITY_BELOW_NORMAL,
        THREAD_PRIORITY_NORMAL,        THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
        THREAD_PRIORITY_TIME_CRITICAL,
    };
    if (priority != tpNormal) {
        ::SetThreadPriority(::GetCurrentThread(), priorities[priority]);
    }
}

namespace detail {

void NameCurrentThread(const char* name) {
    // SetThreadDescription came with Windows 10 1607, later than this compiler's headers.
    using Describe = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto describe = reinterpret_cast<Describe>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (describe != nullptr) {
        const std::string narrow(name);
        describe(::GetCurrentThread(), std::wstring(narrow.begin(), narrow.end()).c_str());
    }
}

FineTimerResolution::FineTimerResolution() {
    ::timeBeginPeriod(1);
}

FineTimerResolution::~FineTimerResolution() {
    ::timeEndPeriod(1);
}

// The faces the window names are Windows' own.
void SubstituteFonts() {}

} // namespace detail
} // namespace ui
