// Decodes one block (7z folder) of an archive step by step into a buffer of
// the block's size, so that the files at its start can be written while the
// rest is still being decoded.
//
// Only the layout of most of an update package is taken: LZMA or LZMA2
// alone, one packed stream, and no checksum over the whole block (that one
// could only be checked once every file of the block had been handed on).
// Every other block goes to the SDK's whole-block decoder; so do blocks with
// a branch filter, which converts the decoded bytes in place, where the
// decoder still reads them as its dictionary. The decoder's own bounds hold: it never writes beyond
// the buffer and never reads beyond the block's packed stream; a stream that
// ends early or holds bad data fails the step with the SDK's result code,
// exactly as the whole-block decoder fails on it.
//
// Threading: one thread at a time per object.
#pragma once

extern "C" {
#include <7z.h>
#include <Lzma2Dec.h>
#include <LzmaDec.h>
}

#include <cstddef>
#include <cstdint>

class CBlockDecoder {
public:
    CBlockDecoder() = default;
    ~CBlockDecoder();
    CBlockDecoder(const CBlockDecoder&) = delete;
    CBlockDecoder& operator=(const CBlockDecoder&) = delete;

    static bool CanDecode(const CSzArEx& db, uint32_t block);

    // Starts decoding the block (CanDecode) into out, which holds the
    // block's whole unpacked size. SZ_OK or the SDK's result code.
    SRes Start(const CSzArEx& db, ILookInStreamPtr input, uint32_t block, Byte* out, size_t size, ISzAllocPtr alloc);
    // Decodes at least `step` more bytes, or to the end. Ready() grows; the
    // first failure is final.
    SRes Step(size_t step);
    // Bytes at the start of the buffer that are final.
    size_t Ready() const { return m_decoded; }
    bool Finished() const { return m_finished; }

private:
    SRes DecodeSome(size_t limit);
    void Release();

    bool m_lzma2 = false;
    CLzmaDec m_lzma;
    CLzma2Dec m_lzma2State;
    bool m_allocated = false;
    ISzAllocPtr m_alloc = nullptr;
    ILookInStreamPtr m_input = nullptr;
    uint64_t m_inputLeft = 0;
    Byte* m_out = nullptr;
    size_t m_size = 0;
    size_t m_decoded = 0;
    bool m_finished = false;
    SRes m_failure = SZ_OK;
};
