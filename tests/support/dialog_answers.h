// A main window's modal parts for tests: file dialogs answer from a queue, the rest is recorded.
#pragma once

#include "viewer/viewer_window.h"

#include <algorithm>
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
        if (request.imageChoice && imageAnswer)
            *request.imageChoice = *imageAnswer;
        const std::optional<std::string> answer = Next(answers);
        path = answer.value_or(path);
        return answer.has_value();
    }
    // Several files: one answer of `answers`, its paths separated by '\n'.
    bool AskFileNames(const FileDialogRequest &request, std::vector<std::string> &paths) override
    {
        std::string joined;
        if (!AskFileName(request, joined))
            return false;
        paths.clear();
        for (size_t at = 0, end; at <= joined.size(); at = end + 1) {
            end = std::min(joined.find('\n', at), joined.size());
            paths.push_back(joined.substr(at, end - at));
        }
        return true;
    }
    bool AskText(const std::string &, const std::string &, std::string &text) override
    {
        ++textRuns;
        const std::optional<std::string> answer = Next(texts);
        text = answer.value_or(text);
        return answer.has_value();
    }
    SaveChoice AskSaveChanges(const std::string &question) override
    {
        questions.push_back(question);
        return saveChoice;
    }
    bool AskYesNo(const std::string &question) override
    {
        questions.push_back(question);
        return yes;
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
    std::deque<std::optional<std::string>> texts;    // AskText's answers; nullopt = cancel
    std::vector<std::string> questions;              // "Save changes to ...?" and yes-or-no questions asked
    SaveChoice saveChoice = SaveChoice::Cancel;
    bool yes = false;  // the answer to every yes-or-no question
    std::vector<FileDialogRequest> dialogs;
    std::vector<std::string> messages;
    std::optional<BatchExportRequest> batchAnswer;  // Export All's choices; nullopt = cancel
    std::optional<ViewImageChoice> imageAnswer;     // Save View As PNG's size and background
    int aboutRuns = 0, dumpRuns = 0, batchRuns = 0, textRuns = 0, folderRuns = 0;

private:
    static std::optional<std::string> Next(std::deque<std::optional<std::string>> &queue)
    {
        if (queue.empty())
            return std::nullopt;
        std::optional<std::string> answer = queue.front();
        queue.pop_front();
        return answer;
    }
};
