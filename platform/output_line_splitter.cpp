#include "platform/output_line_splitter.h"

#include "platform/text_encoding.h"

namespace tarvix::platform {

OutputLineSplitter::OutputLineSplitter(uint32_t codePage, bool raw, std::function<void(const std::string&)> onLine)
    : codePage_(codePage),
      raw_(raw),
      onLine_(std::move(onLine))
{}

void OutputLineSplitter::feed(std::string_view bytes)
{
    std::string piece = undecoded_;
    piece.append(bytes);
    std::size_t tail = 0;
    pending_ += decodeCodePagePiece(piece, codePage_, tail);
    undecoded_ = piece.substr(piece.size() - tail);
    if (onLine_)
        splitLines();
}

void OutputLineSplitter::splitLines()
{
    std::size_t start = 0;
    for (;;) {
        const std::string_view rest = std::string_view(pending_).substr(start);
        std::size_t cr = rest.find('\r');
        if (cr != std::string_view::npos && cr + 1 == rest.size())
            cr = std::string_view::npos; // its LF may come with the next piece
        const std::size_t lf = rest.find('\n');
        std::size_t end;
        if (cr != std::string_view::npos && (lf == std::string_view::npos || cr + 1 < lf))
            end = cr; // a lone CR ends the line (and a CR LF later on is another line's)
        else if (lf != std::string_view::npos)
            end = lf;
        else
            break;
        emit(rest.substr(0, end + 1));
        start += end + 1;
    }
    pending_.erase(0, start);
}

void OutputLineSplitter::emit(std::string_view line)
{
    if (!raw_ && !line.empty() && line.back() == '\r')
        return; // a progress line that the next one overwrites
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    onLine_(std::string(line));
}

void OutputLineSplitter::finish()
{
    if (!undecoded_.empty()) {
        pending_ += decodeCodePage(undecoded_, codePage_);
        undecoded_.clear();
    }
    if (onLine_) {
        splitLines();
        if (!pending_.empty()) {
            const std::string last = std::move(pending_);
            pending_.clear();
            emit(last);
        }
        return;
    }
    if (raw_)
        return;
    std::string text;
    text.reserve(pending_.size() + pending_.size() / 16);
    for (char c : pending_) {
        if (c == '\r')
            continue;
        if (c == '\n')
            text += '\r';
        text += c;
    }
    pending_ = std::move(text);
}

} // namespace tarvix::platform
