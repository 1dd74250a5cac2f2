#pragma once

#include <deque>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/operation_ui.h"

namespace velkaro::test {

// An OperationUi that records everything shown to it and answers from a script. Cancel
// can be requested at once or after a number of pumps, as a user clicking Cancel while
// an operation runs.
class RecordingUi : public OperationUi {
public:
    void showMessage(std::string_view text) override;
    void setProgress(int percent) override;
    void setStatusText(std::string_view text) override;
    void pumpEvents() override;
    bool cancelRequested() const override { return mCancel; }
    bool askOkCancel(std::string_view text) override;
    bool askOkCancelDefaultCancel(std::string_view text) override;
    bool askYesNo(std::string_view text, std::string_view caption) override;
    void setCaption(std::string_view text) override;

    // Everything in order, as "message: …", "progress: 40", "status: …", "caption: …",
    // "ask: …", "yesno: caption: …" (pumps are only counted).
    const std::vector<std::string>& events() const { return mEvents; }
    const std::vector<std::string>& messages() const { return mMessages; }
    const std::vector<int>& progress() const { return mProgress; }
    const std::vector<std::string>& statusTexts() const { return mStatusTexts; }
    const std::vector<std::string>& captions() const { return mCaptions; }
    const std::vector<std::string>& okCancelQuestions() const { return mOkCancelQuestions; }
    // Parallel to okCancelQuestions: whether the box had Cancel as its default button.
    const std::vector<bool>& okCancelDefaultsToCancel() const { return mOkCancelDefaultCancel; }
    // (text, caption) of each Yes/No question.
    const std::vector<std::pair<std::string, std::string>>& yesNoQuestions() const {
        return mYesNoQuestions;
    }
    int pumps() const { return mPumps; }

    void requestCancel() { mCancel = true; }
    // Cancel becomes requested during the n-th pump from now (n >= 1); 0 disarms.
    void cancelAfterPumps(int n) { mCancelAtPump = n > 0 ? mPumps + n : 0; }

    // Answers given in order; when a script runs out, the default answer is used.
    void scriptOkCancel(std::initializer_list<bool> answers);
    void scriptYesNo(std::initializer_list<bool> answers);
    void setDefaultAnswer(bool answer) { mDefaultAnswer = answer; }

    // Forgets everything recorded, the scripts and the cancel state too.
    void clear();

private:
    bool nextAnswer(std::deque<bool>& script);

    std::vector<std::string> mEvents;
    std::vector<std::string> mMessages;
    std::vector<int> mProgress;
    std::vector<std::string> mStatusTexts;
    std::vector<std::string> mCaptions;
    std::vector<std::string> mOkCancelQuestions;
    std::vector<bool> mOkCancelDefaultCancel;
    std::vector<std::pair<std::string, std::string>> mYesNoQuestions;
    std::deque<bool> mOkCancelScript;
    std::deque<bool> mYesNoScript;
    bool mDefaultAnswer = true;
    int mPumps = 0;
    int mCancelAtPump = 0;
    bool mCancel = false;
};

}  // namespace velkaro::test
