// The window services of the wizard's steps for Qt-free tests: records every box and close request.
#pragma once

#include <string>
#include <vector>

#include "installer/wizard_window.h"

namespace tarvix::test {

class WindowRecorder : public TWizardWindow {
public:
    struct Box {
        std::string kind; // "error", "warning", "information", "confirmation"
        std::string markup;
    };

    int MsgError(const std::string& markup) override { return record("error", markup); }
    int MsgWarning(const std::string& markup) override { return record("warning", markup); }
    int MsgInformation(const std::string& markup) override { return record("information", markup); }
    int MsgConfirmation(const std::string& markup) override { return record("confirmation", markup); }
    void PostClose() override { ++closes; }

    std::vector<Box> boxes;
    int closes = 0;
    int answer = 1; // what every box returns

private:
    int record(const char* kind, const std::string& markup)
    {
        boxes.push_back({kind, markup});
        return answer;
    }
};

} // namespace tarvix::test
