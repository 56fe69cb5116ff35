#include "support/fake_ui_services.h"

namespace kv::test {

namespace {

std::optional<std::string> nextPath(std::deque<std::string>& queue) {
    if (queue.empty()) {
        return std::nullopt;
    }
    std::string path = std::move(queue.front());
    queue.pop_front();
    if (path.empty()) {
        return std::nullopt;
    }
    return path;
}

} // namespace

std::vector<StringId> FakeUiServices::messageIds() const {
    std::vector<StringId> ids;
    for (const auto& m : messages) {
        ids.push_back(m.text);
    }
    return ids;
}

void FakeUiServices::showMessage(StringId text, StringId caption, std::string_view detail) {
    messages.push_back({text, caption, std::string(detail)});
}

Answer FakeUiServices::ask(StringId text, StringId, QuestionButtons) {
    questions.push_back(text);
    if (answers.empty()) {
        return Answer::Cancel;
    }
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<std::string> FakeUiServices::chooseOpenFile(const FileDialogRequest& request) {
    openDialogs.push_back(request);
    return nextPath(openAnswers);
}

std::vector<std::string> FakeUiServices::chooseOpenFiles(const FileDialogRequest& request) {
    std::vector<std::string> paths;
    std::string answer = chooseOpenFile(request).value_or("");
    for (std::size_t start = 0; start < answer.size();) {
        const std::size_t end = std::min(answer.find('\n', start), answer.size());
        paths.push_back(answer.substr(start, end - start));
        start = end + 1;
    }
    return paths;
}

std::optional<std::string> FakeUiServices::chooseSaveFile(const FileDialogRequest& request) {
    saveDialogs.push_back(request);
    return nextPath(saveAnswers);
}

} // namespace kv::test
