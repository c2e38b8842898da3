#include "ByteRangeResponse.h"

#include <algorithm>
#include <cctype>

namespace FB {
namespace ActiveX {

namespace {

std::string_view trimmed(std::string_view text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Decimal digits to a number; nothing for an empty, non-digit or too long text.
std::optional<uint64_t> decimal(std::string_view text)
{
    if (text.empty() || text.size() > 18) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

// Sorts and joins overlapping or touching spans.
std::vector<RequestedRanges::Span> merged(std::vector<RequestedRanges::Span> spans)
{
    std::sort(spans.begin(), spans.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    std::vector<RequestedRanges::Span> out;
    for (const auto& span : spans) {
        if (span.end <= span.start) continue;
        if (!out.empty() && span.start <= out.back().end)
            out.back().end = std::max(out.back().end, span.end);
        else
            out.push_back(span);
    }
    return out;
}

}  // namespace

RequestedRanges::RequestedRanges(const std::vector<Span>& ranges) : asked_(merged(ranges)) {}

bool RequestedRanges::contains(uint64_t first, uint64_t count) const
{
    if (count == 0 || first > UINT64_MAX - count) return false;
    const uint64_t end = first + count;
    return std::any_of(
        asked_.begin(), asked_.end(), [&](const Span& span) { return span.start <= first && end <= span.end; });
}

void RequestedRanges::markDelivered(uint64_t first, uint64_t count)
{
    if (count == 0 || first > UINT64_MAX - count) return;
    delivered_.push_back({first, first + count});
    delivered_ = merged(std::move(delivered_));
}

bool RequestedRanges::allDelivered() const
{
    // Delivered bytes lie inside the asked ones, so equal unions mean nothing is missing.
    return std::all_of(asked_.begin(), asked_.end(), [&](const Span& span) {
        return std::any_of(delivered_.begin(), delivered_.end(),
            [&](const Span& got) { return got.start <= span.start && span.end <= got.end; });
    });
}

std::optional<ContentRange> parseContentRange(std::string_view text)
{
    text = trimmed(text);
    if (text.size() < 6 || !equalsIgnoringCase(text.substr(0, 5), "bytes") || (text[5] != ' ' && text[5] != '\t'))
        return std::nullopt;
    text = trimmed(text.substr(6));
    const size_t dash = text.find('-');
    const size_t slash = text.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) return std::nullopt;
    std::optional<uint64_t> first = decimal(text.substr(0, dash));
    std::optional<uint64_t> last = decimal(text.substr(dash + 1, slash - dash - 1));
    std::string_view totalText = text.substr(slash + 1);
    std::optional<uint64_t> total = totalText == "*" ? std::optional<uint64_t>(0) : decimal(totalText);
    if (!first || !last || !total || *first > *last) return std::nullopt;
    if (totalText != "*" && *last >= *total) return std::nullopt;
    return ContentRange{*first, *last, *total};
}

std::string byteRangesBoundary(std::string_view contentType)
{
    const size_t semicolon = contentType.find(';');
    if (!equalsIgnoringCase(trimmed(contentType.substr(0, semicolon)), "multipart/byteranges")) return {};
    std::string_view parameters = semicolon == std::string_view::npos ? "" : contentType.substr(semicolon + 1);
    while (!parameters.empty()) {
        const size_t end = parameters.find(';');
        std::string_view parameter = trimmed(parameters.substr(0, end));
        parameters = end == std::string_view::npos ? "" : parameters.substr(end + 1);
        const size_t equals = parameter.find('=');
        if (equals == std::string_view::npos || !equalsIgnoringCase(trimmed(parameter.substr(0, equals)), "boundary"))
            continue;
        std::string_view value = trimmed(parameter.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return {};
}

// The body is read as if it began with a line break, so the first boundary
// looks like every later one: "\r\n--" + boundary.
MultipartByteRanges::MultipartByteRanges(std::string boundary) : delimiter_("\r\n--" + boundary), pending_("\r\n")
{
    if (boundary.empty()) state_ = State::Failed;
}

bool MultipartByteRanges::fail()
{
    state_ = State::Failed;
    pending_.clear();
    return false;
}

bool MultipartByteRanges::readHeaders(std::string_view block)
{
    bool ranged = false;
    while (!block.empty()) {
        const size_t end = block.find("\r\n");
        std::string_view line = block.substr(0, end);
        block = end == std::string_view::npos ? "" : block.substr(end + 2);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !equalsIgnoringCase(trimmed(line.substr(0, colon)), "content-range"))
            continue;
        std::optional<ContentRange> range = parseContentRange(line.substr(colon + 1));
        if (!range) return false;
        partOffset_ = range->first;
        partLength_ = range->last - range->first + 1;
        partDelivered_ = 0;
        if (allowed_ && !allowed_->contains(partOffset_, partLength_)) return false;
        ranged = true;
    }
    return ranged;
}

bool MultipartByteRanges::feed(const char* data, size_t length, const PartData& deliver)
{
    if (state_ == State::Failed) return false;
    if (state_ == State::Done) return true;  // the epilogue is not read
    pending_.append(data, length);
    for (;;) {
        switch (state_) {
        case State::Preamble: {
            const size_t at = pending_.find(delimiter_);
            if (at == std::string::npos) {
                if (pending_.size() >= delimiter_.size()) pending_.erase(0, pending_.size() - (delimiter_.size() - 1));
                return true;
            }
            pending_.erase(0, at + delimiter_.size());
            state_ = State::AfterBoundary;
            break;
        }
        case State::AfterBoundary: {
            if (pending_.size() < 2) return true;
            if (pending_.compare(0, 2, "--") == 0) {
                state_ = State::Done;
                pending_.clear();
                return true;
            }
            const size_t lineEnd = pending_.find("\r\n");
            if (lineEnd == std::string::npos) return pending_.size() > 256 ? fail() : true;
            if (pending_.find_first_not_of(" \t") < lineEnd) return fail();  // only padding may follow a boundary
            pending_.erase(0, lineEnd + 2);
            state_ = State::Headers;
            break;
        }
        case State::Headers: {
            if (pending_.compare(0, 2, "\r\n") == 0) return fail();  // a part without headers has no range
            const size_t end = pending_.find("\r\n\r\n");
            if (end == std::string::npos) return pending_.size() > 16384 ? fail() : true;
            if (!readHeaders(std::string_view(pending_).substr(0, end))) return fail();
            pending_.erase(0, end + 4);
            state_ = State::Body;
            break;
        }
        case State::Body: {
            const size_t at = pending_.find(delimiter_);
            const size_t keep = delimiter_.size() - 1;  // may be the start of the delimiter
            const size_t usable = at != std::string::npos ? at : (pending_.size() > keep ? pending_.size() - keep : 0);
            if (usable) {
                if (partDelivered_ + usable > partLength_) return fail();
                deliver(partOffset_ + partDelivered_, pending_.data(), usable);
                partDelivered_ += usable;
            }
            if (at == std::string::npos) {
                pending_.erase(0, usable);
                return true;
            }
            if (partDelivered_ != partLength_) return fail();
            pending_.erase(0, at + delimiter_.size());
            state_ = State::AfterBoundary;
            break;
        }
        case State::Done: return true;
        case State::Failed: return false;
        }
    }
}

}  // namespace ActiveX
}  // namespace FB
