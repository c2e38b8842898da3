// Reading HTTP answers to byte-range requests: the "Content-Range" header and
// the parts of a "multipart/byteranges" body.
//
//     FB::ActiveX::MultipartByteRanges parts("THIS_STRING_SEPARATES");
//     bool ok = parts.feed(data, length, [](uint64_t offset, const char* bytes, size_t count) { ... });
//     ok = ok && parts.complete();
//
// Every part must carry a well-formed Content-Range and exactly the bytes it
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

class MultipartByteRanges {
public:
    using PartData = std::function<void(uint64_t offset, const char* bytes, size_t count)>;

    explicit MultipartByteRanges(std::string boundary);

    // Reads the next piece of the body; false once the body is malformed.
    bool feed(const char* data, size_t length, const PartData& deliver);
    // True when the closing boundary has been read.
    bool complete() const { return state == State::Done; }
    bool failed() const { return state == State::Failed; }

private:
    enum class State { Preamble, AfterBoundary, Headers, Body, Done, Failed };
    bool fail();
    bool readHeaders(std::string_view block);

    std::string delimiter;  // "\r\n--" + boundary
    std::string pending;    // bytes not yet used
    State state = State::Preamble;
    uint64_t partOffset = 0;
    uint64_t partLength = 0;
    uint64_t partDelivered = 0;
};

}  // namespace ActiveX
}  // namespace FB
