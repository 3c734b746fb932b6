#include "scsi/stop.h"

std::atomic<uint8_t> g_bStopRequested{0};
std::atomic<uint8_t> g_bNoAbort{0};

namespace {
thread_local bool t_isTestWorker = false;
thread_local StopToken* t_stopToken = nullptr;
}  // namespace

void MarkTestWorkerThread(bool isWorker)
{
    t_isTestWorker = isWorker;
    t_stopToken = nullptr;
}

void MarkTestWorkerThread(StopToken& token)
{
    t_isTestWorker = true;
    t_stopToken = &token;
}

bool IsTestWorkerThread() { return t_isTestWorker; }

StopToken* CurrentStopToken() { return t_isTestWorker ? t_stopToken : nullptr; }

std::atomic<uint8_t>& NoAbortFlag()
{
    StopToken* token = CurrentStopToken();
    return token != nullptr ? token->noAbort : g_bNoAbort;
}
