#include "support/recording_ui.h"

namespace velkaro::test {

void RecordingUi::showMessage(std::string_view text) {
    mMessages.emplace_back(text);
    mEvents.push_back("message: " + std::string(text));
}

void RecordingUi::setProgress(int percent) {
    mProgress.push_back(percent);
    mEvents.push_back("progress: " + std::to_string(percent));
}

void RecordingUi::setStatusText(std::string_view text) {
    mStatusTexts.emplace_back(text);
    mEvents.push_back("status: " + std::string(text));
}

void RecordingUi::pumpEvents() {
    ++mPumps;
    if (mCancelAtPump != 0 && mPumps >= mCancelAtPump)
        mCancel = true;
}

bool RecordingUi::askOkCancel(std::string_view text) {
    mOkCancelQuestions.emplace_back(text);
    mOkCancelDefaultCancel.push_back(false);
    mEvents.push_back("ask: " + std::string(text));
    return nextAnswer(mOkCancelScript);
}

bool RecordingUi::askOkCancelDefaultCancel(std::string_view text) {
    const bool answer = askOkCancel(text);
    mOkCancelDefaultCancel.back() = true;
    return answer;
}

bool RecordingUi::askYesNo(std::string_view text, std::string_view caption) {
    mYesNoQuestions.emplace_back(std::string(text), std::string(caption));
    mEvents.push_back("yesno: " + std::string(caption) + ": " + std::string(text));
    return nextAnswer(mYesNoScript);
}

void RecordingUi::setCaption(std::string_view text) {
    mCaptions.emplace_back(text);
    mEvents.push_back("caption: " + std::string(text));
}

void RecordingUi::scriptOkCancel(std::initializer_list<bool> answers) {
    mOkCancelScript.insert(mOkCancelScript.end(), answers);
}

void RecordingUi::scriptYesNo(std::initializer_list<bool> answers) {
    mYesNoScript.insert(mYesNoScript.end(), answers);
}

void RecordingUi::clear() {
    *this = RecordingUi();
}

bool RecordingUi::nextAnswer(std::deque<bool>& script) {
    if (script.empty())
        return mDefaultAnswer;
    const bool answer = script.front();
    script.pop_front();
    return answer;
}

}  // namespace velkaro::test
