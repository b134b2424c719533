// A scripted stand-in for the person at the screen: message boxes answered from a queue and
// recorded, a clipboard in memory, a yield that counts.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/ui/interaction.h"

namespace kelvo::test {

struct ShownMessage {
    std::string prompt;
    int style;
    std::string title;
};

class ScriptedInteraction : public Interaction {
  public:
    int MsgBox(const std::string& prompt, int style, const std::string& title) override {
        shown.push_back({prompt, style, title});
        if (answers.empty()) return (style & 7) == vbYesNoCancel ? vbCancel : vbOK;
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void DoEvents() override { ++yields; }

    std::deque<int> answers;  // next answers, in order; Cancel/OK when empty
    std::vector<ShownMessage> shown;
    int yields = 0;
};

class MemoryClipboard : public Clipboard {
  public:
    PicturePtr GetData() override { return held ? held : EmptyPicture(); }
    void Clear() override { held.reset(); }
    void SetData(const Picture& picture) override { held = std::make_shared<Picture>(picture); }
    PicturePtr held;
};

}  // namespace kelvo::test
