#include "scan/failure_narrowing.h"

#include <vector>

namespace {

// Blocks first to first + count - 1; `failed` when a command over exactly
// these blocks is known to have failed.
struct Piece {
    uint64_t first = 0;
    uint64_t count = 0;
    std::optional<BlockResult> failed;
};

class Narrowing {
public:
    Narrowing(BlockCommands& commands, ScanMethod method, const std::atomic<bool>& stop, const NarrowingSinks& sinks)
        : commands(commands), method(method), stop(stop), sinks(sinks)
    {
    }

    NarrowingResult Run(const ScanRange& transfer, const BlockResult& failed)
    {
        Push({transfer.first, transfer.Blocks(), failed});
        while (!pending.empty()) {
            Piece piece = pending.back();
            pending.pop_back();
            if (!piece.failed && !Try(piece)) return result;
            if (!piece.failed) continue;
            if (piece.count == 1) {
                sinks.failure(piece.failed->FailureAt(piece.first));
                continue;
            }
            Split(piece);
        }
        return result;
    }

private:
    void Push(Piece piece)
    {
        if (piece.count > 0) pending.push_back(std::move(piece));
    }

    // Reads the piece with one command; false when narrowing ends here.
    // A piece that fails keeps the result for its split.
    bool Try(Piece& piece)
    {
        if (stop.load()) {
            result.endedAt = piece.first;
            return false;
        }
        if (budget == 0) {
            ListTheRestAsNotNarrowed(piece);
            return false;
        }
        --budget;
        const BlockResult answer = commands.Issue(method, piece.first, static_cast<uint32_t>(piece.count));
        if (commands.DriveLost()) {
            result.driveLost = true;
            result.endedAt = piece.first;
            return false;
        }
        if (answer.read)
            result.blocksRead += piece.count;
        else
            piece.failed = answer;
        return true;
    }

    // Children go on the stack last first, so the lowest LBAs come next.
    void Split(const Piece& piece)
    {
        const uint64_t end = piece.first + piece.count;
        const std::optional<uint64_t> named = piece.failed->information;
        std::vector<Piece> children;
        if (named && *named >= piece.first && *named < end) {
            children = {{piece.first, *named - piece.first, {}}, {*named, 1, {}}, {*named + 1, end - *named - 1, {}}};
        } else if (piece.count <= kSingleBlockPiece) {
            for (uint64_t lba = piece.first; lba < end; ++lba) children.push_back({lba, 1, {}});
        } else {
            const uint64_t half = piece.count / 2;
            children = {{piece.first, half, {}}, {piece.first + half, piece.count - half, {}}};
        }
        for (auto child = children.rbegin(); child != children.rend(); ++child) Push(*child);
    }

    void ListTheRestAsNotNarrowed(const Piece& first)
    {
        result.exhausted = true;
        ScanRange run{first.first, first.first + first.count - 1};
        while (!pending.empty()) {
            const Piece next = pending.back();
            pending.pop_back();
            if (next.first == run.last + 1) {
                run.last = next.first + next.count - 1;
                continue;
            }
            sinks.gap({run, GapReason::NotNarrowed});
            run = {next.first, next.first + next.count - 1};
        }
        sinks.gap({run, GapReason::NotNarrowed});
    }

    BlockCommands& commands;
    const ScanMethod method;
    const std::atomic<bool>& stop;
    const NarrowingSinks& sinks;
    std::vector<Piece> pending;
    int budget = kNarrowingCommands;
    NarrowingResult result;
};

}  // namespace

NarrowingResult NarrowFailedTransfer(BlockCommands& commands, ScanMethod method, const ScanRange& transfer,
                                     const BlockResult& failed, const std::atomic<bool>& stop,
                                     const NarrowingSinks& sinks)
{
    return Narrowing(commands, method, stop, sinks).Run(transfer, failed);
}
