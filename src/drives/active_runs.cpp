#include "drives/active_runs.h"

#include <algorithm>

void ActiveRuns::Add(ActiveRun& run)
{
    if (std::find(runs.begin(), runs.end(), &run) == runs.end()) runs.push_back(&run);
}

void ActiveRuns::Remove(ActiveRun& run) { std::erase(runs, &run); }

bool ActiveRuns::AnyRunning() const
{
    return std::any_of(runs.begin(), runs.end(), [](const ActiveRun* run) { return run->Running(); });
}

bool ActiveRuns::AnyStopping() const
{
    return std::any_of(runs.begin(), runs.end(), [](const ActiveRun* run) { return run->Stopping(); });
}

void ActiveRuns::StopAll()
{
    // Stopping a run may take it out of the list.
    const std::vector<ActiveRun*> now = runs;
    for (ActiveRun* run : now)
        if (run->Running()) run->RequestStop();
}
