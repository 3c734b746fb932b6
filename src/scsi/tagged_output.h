#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "scsi/output_window.h"

// One drive's running report among several on one stream: each line goes
// on whole, after "TAG: ", so lines of drives that run at once never mix
// and the lines of one tag, without it, are that drive's report as a run of
// one drive gives it.
class TaggedOutput final : public OutputWindow {
public:
    TaggedOutput(OutputWindow& inner, std::string tag) : inner(inner), tag(std::move(tag) + ": ") {}
    // The end of a last line that has no line end yet.
    ~TaggedOutput() override { Flush(); }
    TaggedOutput(const TaggedOutput&) = delete;
    TaggedOutput& operator=(const TaggedOutput&) = delete;

    void Append(std::string_view text) override;
    void Flush();

private:
    OutputWindow& inner;
    const std::string tag;
    std::mutex mutex;
    std::string line;
};
