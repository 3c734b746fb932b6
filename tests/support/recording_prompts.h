#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/user_prompts.h"

// Records what an operation asked and answers from scripted queues.
class RecordingPrompts : public UserPrompts {
public:
    struct Shown {
        std::string text;
        std::string caption;
        Icon icon;
    };
    std::vector<Shown> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;                         // empty: yes
    std::deque<std::optional<std::string>> files;     // empty: cancelled
    std::vector<std::string> fileRequests;

    void Message(const std::string& text, const std::string& caption, Icon icon) override
    {
        messages.push_back({text, caption, icon});
    }
    bool AskYesNo(const std::string& text, const std::string&) override
    {
        questions.push_back(text);
        if (answers.empty()) return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<std::string> ChooseFile(const std::string& title, const std::string&, const std::string&,
                                          bool) override
    {
        fileRequests.push_back(title);
        if (files.empty()) return std::nullopt;
        auto file = files.front();
        files.pop_front();
        return file;
    }
};
