// The lines of a child process's output as they arrive in pieces: each piece is decoded from the child's code
// page (the OEM one for console programs), and the decoded text is cut into lines that go to a callback, one
// line a call, without their line breaks. Console programs end their lines with CR LF or LF; progress counters
// end theirs with a lone CR so that the next one overwrites it on a console: such lines are left out, so a run
// of them shows only as the line that finally ends with a real line break.
//
// A CR at the very end of a piece waits for the next one, which may bring its LF. A multi-byte character cut
// between two pieces is decoded once both halves are there.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tarvix::platform {

class OutputLineSplitter {
public:
    // `onLine` may be empty: the text is then collected (text()). `raw` keeps the lines ended by a lone CR and,
    // without a callback, the line breaks as they came.
    OutputLineSplitter(uint32_t codePage, bool raw, std::function<void(const std::string&)> onLine);

    // One piece of output, as read.
    void feed(std::string_view bytes);
    // The output has ended: with a callback, the text after the last line break is handed over as the last line
    // (a lone-CR progress line is still left out unless raw); without one, the collected text is finished: as
    // it came when raw, else with every line break made CR LF (each LF becomes CR LF and every CR is dropped).
    void finish();

    // The collected text (without a callback), complete after finish().
    const std::string& text() const { return pending_; }

private:
    void emit(std::string_view line);
    void splitLines();

    uint32_t codePage_;
    bool raw_;
    std::function<void(const std::string&)> onLine_;
    std::string undecoded_; // the start of a multi-byte character cut off at the end of the last piece
    std::string pending_;   // decoded text not handed over yet
};

} // namespace tarvix::platform
