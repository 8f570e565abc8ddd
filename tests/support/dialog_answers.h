// A main window's modal parts for tests: file dialogs answer from a queue, the rest is recorded.
#pragma once

#include "viewer/viewer_window.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

template <typename Base>
class DialogAnswers : public Base {
public:
    bool AskFileName(const FileDialogRequest &request, std::string &path) override
    {
        dialogs.push_back(request);
        const std::optional<std::string> answer = answers.empty() ? std::nullopt : answers.front();
        if (!answers.empty())
            answers.pop_front();
        path = answer.value_or(path);
        return answer.has_value();
    }
    void ShowMessage(const std::string &text) override { messages.push_back(text); }
    void RunAboutBox() override { ++aboutRuns; }
    void RunDumpDialog() override { ++dumpRuns; }
    bool AskBatchExport(const std::vector<std::string> &, BatchExportRequest &request) override
    {
        ++batchRuns;
        request = batchAnswer.value_or(request);
        return batchAnswer.has_value();
    }

    bool AskFolderName(std::string &path) override
    {
        ++folderRuns;
        path = folderAnswer.value_or(path);
        return folderAnswer.has_value();
    }

    std::deque<std::optional<std::string>> answers;  // nullopt = cancel
    std::optional<std::string> folderAnswer;         // File > Open Folder's choice; nullopt = cancel
    std::vector<FileDialogRequest> dialogs;
    std::vector<std::string> messages;
    std::optional<BatchExportRequest> batchAnswer;  // Export All's choices; nullopt = cancel
    int aboutRuns = 0, dumpRuns = 0, batchRuns = 0, folderRuns = 0;
};
