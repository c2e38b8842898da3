#include "BlockDecoder.h"

namespace {

constexpr UInt32 kMethodLzma2 = 0x21;
constexpr UInt32 kMethodLzma = 0x30101;
constexpr size_t kLookahead = size_t(1) << 18;  // what the SDK's decoders look at per call

// The block's coder description; false when it does not parse as the SDK
// requires.
bool ReadBlock(const CSzArEx& db, uint32_t block, CSzFolder& folder, const Byte*& props)
{
    const CSzAr& ar = db.db;
    props = ar.CodersData + ar.FoCodersOffsets[block];
    CSzData data = {props, ar.FoCodersOffsets[block + 1] - ar.FoCodersOffsets[block]};
    return SzGetNextFolderItem(&folder, &data) == SZ_OK && data.Size == 0 &&
        folder.UnpackStream == ar.FoToMainUnpackSizeIndex[block];
}

bool IsLzma(const CSzCoderInfo& coder)
{
    return coder.NumStreams == 1 && (coder.MethodID == kMethodLzma || coder.MethodID == kMethodLzma2);
}

}  // namespace

CBlockDecoder::~CBlockDecoder()
{
    Release();
}

bool CBlockDecoder::CanDecode(const CSzArEx& db, uint32_t block)
{
    CSzFolder folder;
    const Byte* props = nullptr;
    if (block >= db.db.NumFolders || SzBitWithVals_Check(&db.db.FolderCRCs, block) ||
        !ReadBlock(db, block, folder, props))
        return false;
    return folder.NumCoders == 1 && folder.NumBonds == 0 && folder.NumPackStreams == 1 && folder.PackStreams[0] == 0 &&
        IsLzma(folder.Coders[0]);
}

SRes CBlockDecoder::Start(
    const CSzArEx& db, ILookInStreamPtr input, uint32_t block, Byte* out, size_t size, ISzAllocPtr alloc)
{
    Release();
    m_input = input;
    m_alloc = alloc;
    m_out = out;
    m_size = size;
    m_decoded = 0;
    m_finished = false;
    m_failure = SZ_OK;

    CSzFolder folder;
    const Byte* props = nullptr;
    if (!CanDecode(db, block) || !ReadBlock(db, block, folder, props)) return m_failure = SZ_ERROR_UNSUPPORTED;
    if (size == 0 || size != SzAr_GetFolderUnpackSize(&db.db, block)) return m_failure = SZ_ERROR_FAIL;
    const UInt64* pack = db.db.PackPositions + db.db.FoStartPackStreamIndex[block];
    m_inputLeft = pack[1] - pack[0];
    if (SRes result = LookInStream_SeekTo(input, db.dataPos + pack[0]); result != SZ_OK) return m_failure = result;

    const CSzCoderInfo& coder = folder.Coders[0];
    m_lzma2 = coder.MethodID == kMethodLzma2;
    if (m_lzma2) {
        Lzma2Dec_CONSTRUCT(&m_lzma2State);
        if (coder.PropsSize != 1) return m_failure = SZ_ERROR_DATA;
        if (SRes result = Lzma2Dec_AllocateProbs(&m_lzma2State, props[coder.PropsOffset], alloc); result != SZ_OK)
            return m_failure = result;
        m_lzma2State.decoder.dic = out;
        m_lzma2State.decoder.dicBufSize = size;
        Lzma2Dec_Init(&m_lzma2State);
    } else {
        LzmaDec_CONSTRUCT(&m_lzma);
        if (SRes result = LzmaDec_AllocateProbs(&m_lzma, props + coder.PropsOffset, coder.PropsSize, alloc);
            result != SZ_OK)
            return m_failure = result;
        m_lzma.dic = out;
        m_lzma.dicBufSize = size;
        LzmaDec_Init(&m_lzma);
    }
    m_allocated = true;
    return SZ_OK;
}

SRes CBlockDecoder::Step(size_t step)
{
    if (m_failure != SZ_OK || m_finished) return m_failure;
    size_t limit = m_size - m_decoded > step ? m_decoded + step : m_size;
    SRes result = DecodeSome(limit);
    if (result != SZ_OK) {
        m_failure = result;
        Release();
        return result;
    }
    if (m_finished) Release();
    return SZ_OK;
}

// The SDK's decoding loop, with the output bounded by `limit` until the last
// step, which decodes to the end and checks it as the SDK does.
SRes CBlockDecoder::DecodeSome(size_t limit)
{
    bool last = limit == m_size;
    for (;;) {
        size_t before = m_decoded;
        if (!last && before >= limit) return SZ_OK;
        const void* in = nullptr;
        size_t lookahead = m_inputLeft < kLookahead ? static_cast<size_t>(m_inputLeft) : kLookahead;
        if (SRes result = ILookInStream_Look(m_input, &in, &lookahead); result != SZ_OK) return result;
        SizeT processed = lookahead;
        ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
        ELzmaFinishMode mode = last ? LZMA_FINISH_END : LZMA_FINISH_ANY;
        SRes result = m_lzma2
            ? Lzma2Dec_DecodeToDic(&m_lzma2State, limit, static_cast<const Byte*>(in), &processed, mode, &status)
            : LzmaDec_DecodeToDic(&m_lzma, limit, static_cast<const Byte*>(in), &processed, mode, &status);
        m_inputLeft -= processed;
        m_decoded = m_lzma2 ? m_lzma2State.decoder.dicPos : m_lzma.dicPos;
        if (result != SZ_OK) return result;
        if (status == LZMA_STATUS_FINISHED_WITH_MARK) {
            if (m_decoded != m_size || m_inputLeft != 0) return SZ_ERROR_DATA;
            m_finished = true;
            return SZ_OK;
        }
        if (!m_lzma2 && m_decoded == m_size && m_inputLeft == 0 && status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK) {
            m_finished = true;
            return SZ_OK;
        }
        if (processed == 0 && m_decoded == before) return SZ_ERROR_DATA;
        if (SRes skipped = ILookInStream_Skip(m_input, processed); skipped != SZ_OK) return skipped;
    }
}

void CBlockDecoder::Release()
{
    if (!m_allocated) return;
    if (m_lzma2)
        Lzma2Dec_FreeProbs(&m_lzma2State, m_alloc);
    else
        LzmaDec_FreeProbs(&m_lzma, m_alloc);
    m_allocated = false;
}
