#pragma once

// A front end whose answers are given in advance and which records every
// call in order, for driving the update procedure in tests.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "workflow/front_end.h"
#include "workflow/update_workflow.h"

namespace rm525::testing {

struct ShownPrompt {
    PromptKind kind;
    int16_t selector;
    std::string text;
};

class ScriptedFrontEnd : public FrontEnd {
public:
    // ---- the script --------------------------------------------------------
    std::optional<int16_t> port;  // empty: Quit in the port selection
    // Results of the file chooser in turn: a path, or a choose_result code
    // other than kChosen. Once used up, every choice is cancelled.
    std::deque<std::pair<int16_t, std::string>> files;
    // Answers to the Continue and Reselect prompts in turn; Quit once used up.
    std::deque<PromptResult> answers;
    int stopAtPercent = -1;  // ShowProgress answers false from this percent on
    int stopAtPhase = -1;    // ShowProgress answers false in this phase
    int stopFromAsk = -1;    // StopRequested answers true from this ask on (0: the first)
    std::function<void(const ShownPrompt&)> onPrompt;  // called as each prompt is shown

    // ---- what happened -----------------------------------------------------
    std::vector<std::string> calls;  // every call, in order
    std::vector<ShownPrompt> prompts;
    std::vector<std::string> statuses;
    std::vector<std::string> errors;
    std::vector<std::pair<int, int>> progress;  // phase, percent
    std::vector<OpenFailure> explained;
    int busyDepth = 0;
    int busyLowest = 0;
    int progressCloses = 0;
    int stopAsks = 0;

    bool ChoosePort(UpdateWorkflow&, int16_t* chosen) override {
        calls.push_back("ChoosePort");
        if (!port)
            return false;
        *chosen = *port;
        return true;
    }
    int16_t ChooseFile(const std::string& filter, const std::string& initialName,
                       std::string* path) override {
        calls.push_back("ChooseFile " + initialName);
        lastFilter = filter;
        if (files.empty())
            return choose_result::kCancelled;
        auto [code, chosen] = files.front();
        files.pop_front();
        if (code == choose_result::kChosen)
            *path = chosen;
        return code;
    }
    PromptResult RunPrompt(PromptKind kind, int16_t selector, const std::string& text) override {
        calls.push_back("Prompt " + std::to_string(static_cast<int>(kind)) + "/" +
                        std::to_string(selector));
        prompts.push_back({kind, selector, text});
        if (onPrompt)
            onPrompt(prompts.back());
        if (kind != PromptKind::Continue && kind != PromptKind::Reselect)
            return PromptResult::Ok;
        if (answers.empty())
            return PromptResult::Cancel;
        const PromptResult r = answers.front();
        answers.pop_front();
        return r;
    }
    void ShowErrorMessage(const std::string& text) override {
        calls.push_back("Error " + text);
        errors.push_back(text);
    }
    void StatusChanged(const std::string& text) override {
        calls.push_back("Status " + text);
        statuses.push_back(text);
    }
    bool ShowProgress(int phase, int percent, const char* text) override {
        progress.emplace_back(phase, percent);
        lastProgressText = text ? text : "";
        return (stopAtPercent < 0 || percent < stopAtPercent) && phase != stopAtPhase;
    }
    void CloseProgress() override {
        calls.push_back("CloseProgress");
        ++progressCloses;
    }
    void SetBusyCursor(bool busy) override {
        busyDepth += busy ? 1 : -1;
        busyLowest = std::min(busyLowest, busyDepth);
    }
    void Repaint() override { calls.push_back("Repaint"); }
    bool StopRequested() override { return stopFromAsk >= 0 && stopAsks++ >= stopFromAsk; }
    void ExplainOpenFailures(const std::vector<OpenFailure>& failures) override {
        calls.push_back("ExplainOpenFailures");
        explained = failures;
    }

    std::string lastFilter;
    std::string lastProgressText;

    std::vector<PromptKind> PromptKinds() const {
        std::vector<PromptKind> kinds;
        for (const auto& p : prompts)
            kinds.push_back(p.kind);
        return kinds;
    }
};

}  // namespace rm525::testing
