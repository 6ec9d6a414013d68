// The sleep inhibitor on Windows: the thread's execution state.

#include "platform/ui/SleepInhibitor.h"

#include <utility>
#include <windows.h>

namespace ui {

// The state belongs to the thread that set it and holds until that thread clears it or ends.
class TSleepInhibitor::Lock {
public:
    Lock() { ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED); }
    ~Lock() { ::SetThreadExecutionState(ES_CONTINUOUS); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

// The system lists the process as keeping it awake (powercfg /requests) without a reason.
TSleepInhibitor::TSleepInhibitor(const QString&) : TSleepInhibitor(std::make_unique<Lock>()) {}

TSleepInhibitor::TSleepInhibitor(std::unique_ptr<Lock> lock) : lock_(std::move(lock)) {}

TSleepInhibitor::~TSleepInhibitor() = default;

} // namespace ui
