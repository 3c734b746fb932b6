#include "scsi/stop.h"

std::atomic<uint8_t> g_bStopRequested{0};
std::atomic<uint8_t> g_bNoAbort{0};

namespace {
thread_local bool t_isTestWorker = false;
}

void MarkTestWorkerThread(bool isWorker) { t_isTestWorker = isWorker; }

bool IsTestWorkerThread() { return t_isTestWorker; }
