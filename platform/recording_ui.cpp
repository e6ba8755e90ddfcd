#include "platform/recording_ui.h"

namespace talvo::platform {

void RecordingUserInterface::showStop(QWidget*, const QString& text) {
    calls.push_back({RecordedCall::Kind::Stop, text, {}, 0});
}

void RecordingUserInterface::showInformation(QWidget*, const QString& text) {
    calls.push_back({RecordedCall::Kind::Information, text, {}, 0});
}

bool RecordingUserInterface::askOkCancel(QWidget*, const QString& text) {
    calls.push_back({RecordedCall::Kind::Question, text, {}, 0});
    if (answers.empty())
        return true;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingUserInterface::showHelpIndex(QWidget*) {
    calls.push_back({RecordedCall::Kind::HelpIndex, {}, {}, 0});
}

void RecordingUserInterface::showHelpContext(QWidget*, int context) {
    calls.push_back({RecordedCall::Kind::HelpContext, {}, {}, context});
}

std::optional<QString> RecordingUserInterface::openFileDialog(QWidget*, const QString& title,
                                                              const QString& filters,
                                                              const QString& startDirectory) {
    calls.push_back({RecordedCall::Kind::FileDialog, title, {filters, startDirectory}, 0});
    if (fileChoices.empty())
        return std::nullopt;
    // A queued cancel (no value) and a queued path are taken apart: copying the
    // optional whole trips a false uninitialised-use warning of optimised builds.
    const bool cancelled = !fileChoices.front().has_value();
    QString path = cancelled ? QString() : *fileChoices.front();
    fileChoices.pop_front();
    if (cancelled)
        return std::nullopt;
    return path;
}

bool RecordingUserInterface::startProgram(const QString& program, const QStringList& arguments) {
    calls.push_back({RecordedCall::Kind::Start, program, arguments, 0});
    return startSucceeds;
}

std::vector<RecordedCall> RecordingUserInterface::of(RecordedCall::Kind kind) const {
    std::vector<RecordedCall> out;
    for (const auto& c : calls)
        if (c.kind == kind)
            out.push_back(c);
    return out;
}

} // namespace talvo::platform
