// Reading HTTP answers to byte-range requests: the "Content-Range" header, the
// parts of a "multipart/byteranges" body, and the ranges a request asked for.
//
//     FB::ActiveX::RequestedRanges asked({{10, 20}, {30, 35}});
//     FB::ActiveX::MultipartByteRanges parts("THIS_STRING_SEPARATES");
//     parts.acceptOnly(asked);
//     bool ok = parts.feed(data, length, [&](uint64_t offset, const char* bytes, size_t count) {
//         asked.markDelivered(offset, count); ...
//     });
//     ok = ok && parts.complete() && asked.allDelivered();
//
// Every part must carry a well-formed Content-Range, lie inside the ranges
// asked for (when the reader was given them) and bring exactly the bytes it
// announces; anything else stops the reader (feed answers false and delivers
// nothing more), so no byte is ever placed at a guessed offset.
//
// Threading: one reader per response, used by one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace FB {
namespace ActiveX {

// "bytes first-last/total" (total may be "*", then 0).
struct ContentRange {
    uint64_t first = 0;
    uint64_t last = 0;
    uint64_t total = 0;
};

std::optional<ContentRange> parseContentRange(std::string_view text);

// The boundary named by a "multipart/byteranges; boundary=..." content type;
// empty for any other type.
std::string byteRangesBoundary(std::string_view contentType);

// The byte ranges of one request ([start, end), in any order, overlapping or
// not) and which of their bytes have been delivered. A server may join
// neighbouring ranges into one part, so a part is measured against the union.
class RequestedRanges {
public:
    struct Span {
        uint64_t start;
        uint64_t end;
    };

    explicit RequestedRanges(const std::vector<Span>& ranges);

    // True when [first, first + count) lies inside what was asked for.
    bool contains(uint64_t first, uint64_t count) const;
    void markDelivered(uint64_t first, uint64_t count);
    // True when every byte asked for has been delivered.
    bool allDelivered() const;

private:
    std::vector<Span> asked_;      // merged, in order
    std::vector<Span> delivered_;  // merged, in order
};

class MultipartByteRanges {
public:
    using PartData = std::function<void(uint64_t offset, const char* bytes, size_t count)>;

    explicit MultipartByteRanges(std::string boundary);

    // A part outside these ranges stops the reader before any of its bytes is delivered.
    void acceptOnly(const RequestedRanges& ranges) { allowed_ = &ranges; }

    // Reads the next piece of the body; false once the body is malformed.
    bool feed(const char* data, size_t length, const PartData& deliver);
    // True when the closing boundary has been read.
    bool complete() const { return state_ == State::Done; }
    bool failed() const { return state_ == State::Failed; }

private:
    enum class State { Preamble, AfterBoundary, Headers, Body, Done, Failed };
    bool fail();
    bool readHeaders(std::string_view block);

    const RequestedRanges* allowed_ = nullptr;
    std::string delimiter_;  // "\r\n--" + boundary
    std::string pending_;    // bytes not yet used
    State state_ = State::Preamble;
    uint64_t partOffset_ = 0;
    uint64_t partLength_ = 0;
    uint64_t partDelivered_ = 0;
};

}  // namespace ActiveX
}  // namespace FB
