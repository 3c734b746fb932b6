#pragma once

#include <vector>

// Work the user started on the drives that the program must not walk away
// from: a test worker, drives testing themselves, a microcode download.
class ActiveRun {
public:
    virtual ~ActiveRun() = default;
    // Still working; a run asked to stop counts until it has really ended.
    virtual bool Running() const = 0;
    // Asked to stop and still waiting for a drive's command to end.
    virtual bool Stopping() const = 0;
    // End at the drive's next command and put back what the run changed.
    virtual void RequestStop() = 0;
};

// The runs a front end waits for before it ends. Used from one thread.
class ActiveRuns {
public:
    void Add(ActiveRun& run);
    void Remove(ActiveRun& run);
    bool AnyRunning() const;
    bool AnyStopping() const;
    void StopAll();

    // Counts a run in for as long as it lives.
    class Scoped {
    public:
        Scoped(ActiveRuns& runs, ActiveRun& run) : runs(runs), run(run) { runs.Add(run); }
        ~Scoped() { runs.Remove(run); }
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

    private:
        ActiveRuns& runs;
        ActiveRun& run;
    };

private:
    std::vector<ActiveRun*> runs;
};
