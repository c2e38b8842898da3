// Capture device handling. The ten buffers belong to the capture object for
// its whole life; after a close the driver refused, nothing is freed.
#include "AudioCapture.h"

#include "AudioLevel.h"
#include "RtpPacket.h"
#include "WaveStop.h"

namespace {

constexpr DWORD kSampleRate = 44100;
constexpr DWORD kFrameSamples = 1024;
constexpr uint8_t kPayloadTypeMono = 36;
constexpr uint8_t kPayloadTypeStereo = 37;

struct ModeFormat {
    WORD channels;
    unsigned long bitRate;
};

bool formatForMode(int mode, ModeFormat& out)
{
    if (mode == Sondex::kCaptureModeMono)
        out = {1, 64000};
    else if (mode == Sondex::kCaptureModeStereo)
        out = {2, 96000};
    else
        return false;
    return true;
}

}  // namespace

CAudioCapture::CAudioCapture(IAudioPeerSink* sink)
    : sink_(sink), stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

CAudioCapture::~CAudioCapture()
{
    Stop();
    if (stopEvent_) CloseHandle(stopEvent_);
}

bool CAudioCapture::Start(int deviceId, int mode)
{
    if (running_.load() || device_ || heldByDriver_.load() || !stopEvent_) return false;

    // Only modes 5 and 6 have a format; any other would open the device with
    // an all-zero format, which fails, so it fails here.
    ModeFormat modeFormat{};
    if (!formatForMode(mode, modeFormat)) return false;
    format_ = WAVEFORMATEX{};
    format_.wFormatTag = WAVE_FORMAT_PCM;
    format_.nChannels = modeFormat.channels;
    format_.nSamplesPerSec = kSampleRate;
    format_.wBitsPerSample = 16;
    format_.nBlockAlign = static_cast<WORD>(modeFormat.channels * 2);
    format_.nAvgBytesPerSec = kSampleRate * format_.nBlockAlign;
    format_.cbSize = 0;
    bufferBytes_ = kFrameSamples * format_.nBlockAlign;
    encoder_ = std::make_unique<CEncfaac>();
    if (!encoder_->Open(kSampleRate, modeFormat.channels, modeFormat.bitRate)) {
        encoder_.reset();
        return false;
    }
    mode_ = mode;

    const MMRESULT opened = waveInOpen(&device_, static_cast<UINT>(deviceId), &format_,
        reinterpret_cast<DWORD_PTR>(&CAudioCapture::deviceCallback), reinterpret_cast<DWORD_PTR>(this),
        CALLBACK_FUNCTION);
    if (opened != MMSYSERR_NOERROR) {
        device_ = nullptr;
        encoder_.reset();
        return false;
    }

    encoded_.assign(bufferBytes_, 0);
    frameCounter_ = 0;
    ResetEvent(stopEvent_);
    for (Buffer& buffer : buffers_) {
        buffer.data.assign(bufferBytes_, 0);
        if (!queueBuffer(buffer)) {
            closeDevice();
            return false;
        }
        outstanding_.fetch_add(1);
    }
    running_ = true;
    if (waveInStart(device_) != MMSYSERR_NOERROR) {
        running_ = false;
        closeDevice();
        return false;
    }
    return true;
}

void CAudioCapture::Stop()
{
    if (!device_ || heldByDriver_.load()) return;  // a device the driver keeps is left alone
    closeDevice();
}

bool CAudioCapture::queueBuffer(Buffer& buffer)
{
    buffer.header = WAVEHDR{};
    buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.data.data());
    buffer.header.dwBufferLength = static_cast<DWORD>(buffer.data.size());
    buffer.header.dwUser = reinterpret_cast<DWORD_PTR>(&buffer);
    if (waveInPrepareHeader(device_, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
    buffer.prepared = true;
    if (waveInAddBuffer(device_, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        waveInUnprepareHeader(device_, &buffer.header, sizeof(WAVEHDR));
        buffer.prepared = false;
        return false;
    }
    return true;
}

void CAudioCapture::bufferRetired()
{
    if (outstanding_.fetch_sub(1) == 1) SetEvent(stopEvent_);
}

// Stops and closes the device the bounded way and frees what the device held,
// unless it would not close.
void CAudioCapture::closeDevice()
{
    {
        std::lock_guard<std::mutex> guard(requeueLock_);
        running_ = false;
    }
    if (!StopWaveDevice(device_, outstanding_, stopEvent_, &waveInReset, &waveInClose)) {
        heldByDriver_ = true;
        return;
    }
    device_ = nullptr;
    outstanding_ = 0;
    for (Buffer& buffer : buffers_) {
        buffer.prepared = false;
        std::vector<uint8_t>().swap(buffer.data);
    }
    std::vector<uint8_t>().swap(encoded_);
    encoder_.reset();
    format_ = WAVEFORMATEX{};
}

void CALLBACK CAudioCapture::deviceCallback(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    try {
        auto* capture = reinterpret_cast<CAudioCapture*>(instance);
        switch (message) {
        case WIM_OPEN: OutputDebugStringA("Sondex WIM_OPEN\n"); break;
        case WIM_CLOSE: OutputDebugStringA("Sondex WIM_CLOSE\n"); break;
        case WIM_DATA: capture->onBufferFilled(reinterpret_cast<WAVEHDR*>(param1)); break;
        }
    } catch (...) {
        // nothing may escape into the sound system's thread
    }
}

void CAudioCapture::onBufferFilled(WAVEHDR* header)
{
    if (heldByDriver_.load()) return;  // late: its sink may be gone
    auto* buffer = reinterpret_cast<Buffer*>(header->dwUser);
    waveInUnprepareHeader(device_, header, sizeof(WAVEHDR));
    buffer->prepared = false;
    if (header->dwBytesRecorded < header->dwBufferLength) {
        bufferRetired();  // a partial buffer: recording is ending
        return;
    }
    if (encoder_)
        EncodeToSink(*encoder_, reinterpret_cast<const int16_t*>(header->lpData), encoded_, frameCounter_,
            mode_ == Sondex::kCaptureModeMono ? kPayloadTypeMono : kPayloadTypeStereo, *sink_);
    if (!running_.load()) {
        bufferRetired();
        return;
    }
    sink_->OnCaptureLevel(PeakLevel(reinterpret_cast<const int16_t*>(header->lpData), header->dwBufferLength / 2));

    std::lock_guard<std::mutex> guard(requeueLock_);
    if (!running_.load() || !queueBuffer(*buffer)) bufferRetired();
}

void CAudioCapture::EncodeToSink(CEncfaac& encoder, const int16_t* pcm, std::vector<uint8_t>& scratch,
    uint16_t& frameCounter, uint8_t payloadType, IAudioPeerSink& sink)
{
    size_t written = 0;
    if (scratch.size() < encoder.MaxOutputBytes()) return;
    if (!encoder.Encode(pcm, scratch.data(), written) || written == 0 || written > scratch.size()) return;
    ++frameCounter;
    CRtpPacket* packet = CRtpPacket::MakeSend(scratch.data(), written);
    if (!packet) return;
    packet->SetMarker(true);
    packet->SetPayloadType(payloadType);
    packet->SetSequenceNumber(frameCounter);
    sink.OnEncodedFrame(reinterpret_cast<const char*>(packet->Payload()), static_cast<int>(written));
    packet->Release();
}
