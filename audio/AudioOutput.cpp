#include "AudioOutput.h"

#include <cstring>

#include "AudioLevel.h"
#include "WaveStop.h"

namespace {

constexpr DWORD kSampleRate = 44100;
constexpr UINT kFirstOutputDevice = 0;

}  // namespace

CAudioOutput::CAudioOutput(IAudioPeerSink* sink, int streamId, std::shared_ptr<CJitterBuffer> queue,
    std::shared_ptr<const std::atomic<bool>> muted)
    : sink_(sink),
      streamId_(streamId),
      queue_(std::move(queue)),
      muted_(std::move(muted)),
      stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

CAudioOutput::~CAudioOutput()
{
    if (stopEvent_) CloseHandle(stopEvent_);
}

void CAudioOutput::Retire::operator()(CAudioOutput* output) const
{
    if (output->stop()) delete output;
    // else the driver keeps the device: the output stays for its late callbacks
}

bool CAudioOutput::Open()
{
    if (device_ || !stopEvent_) return false;
    format_.wFormatTag = WAVE_FORMAT_PCM;
    format_.nChannels = 2;
    format_.nSamplesPerSec = kSampleRate;
    format_.wBitsPerSample = 16;
    format_.nBlockAlign = 4;
    format_.nAvgBytesPerSec = kSampleRate * 4;
    if (waveOutOpen(&device_, kFirstOutputDevice, &format_, reinterpret_cast<DWORD_PTR>(&CAudioOutput::deviceCallback),
            reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        device_ = nullptr;
        return false;
    }
    running_ = true;
    std::lock_guard<std::mutex> guard(rewriteLock_);
    for (Buffer& buffer : buffers_) {
        buffer.data.assign(kBufferBytes, 0);
        outstanding_.fetch_add(1);  // counted first: the device may finish it at once
        if (!writeBuffer(buffer)) {
            outstanding_.fetch_sub(1);
            return false;
        }
    }
    return true;
}

bool CAudioOutput::writeBuffer(Buffer& buffer)
{
    buffer.header = WAVEHDR{};
    buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.data.data());
    buffer.header.dwBufferLength = static_cast<DWORD>(buffer.data.size());
    buffer.header.dwUser = reinterpret_cast<DWORD_PTR>(&buffer);
    if (waveOutPrepareHeader(device_, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
    if (waveOutWrite(device_, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(device_, &buffer.header, sizeof(WAVEHDR));
        return false;
    }
    return true;
}

void CAudioOutput::bufferRetired()
{
    if (outstanding_.fetch_sub(1) == 1) SetEvent(stopEvent_);
}

bool CAudioOutput::stop()
{
    if (!device_) return true;
    {
        std::lock_guard<std::mutex> guard(rewriteLock_);
        running_ = false;
    }
    return StopWaveDevice(device_, outstanding_, stopEvent_, &waveOutReset, &waveOutClose);
}

void CALLBACK CAudioOutput::deviceCallback(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    try {
        auto* output = reinterpret_cast<CAudioOutput*>(instance);
        switch (message) {
        case WOM_OPEN: OutputDebugStringA("Sondex WOM_OPEN\n"); break;
        case WOM_CLOSE: OutputDebugStringA("Sondex WOM_CLOSE\n"); break;
        case WOM_DONE: output->onBufferPlayed(reinterpret_cast<WAVEHDR*>(param1)); break;
        }
    } catch (...) {
        // nothing may escape into the sound system's thread
    }
}

void CAudioOutput::onBufferPlayed(WAVEHDR* header)
{
    auto* buffer = reinterpret_cast<Buffer*>(header->dwUser);
    waveOutUnprepareHeader(device_, header, sizeof(WAVEHDR));
    if (!running_.load()) {
        bufferRetired();
        return;
    }
    fill(*buffer);
    sink_->OnPlaybackLevel(
        streamId_, PeakLevel(reinterpret_cast<const int16_t*>(buffer->data.data()), buffer->data.size() / 2));
    std::lock_guard<std::mutex> guard(rewriteLock_);
    if (!running_.load() || !writeBuffer(*buffer)) bufferRetired();
}

// One popped packet per buffer, decoded; silence when there is none, when it
// cannot be decoded, or when the stream is muted.
void CAudioOutput::fill(Buffer& buffer)
{
    PacketRef packet = queue_->Pop();
    auto* samples = reinterpret_cast<int16_t*>(buffer.data.data());
    if (packet && !muted_->load() && decoder_.DecodeFrame(packet->Payload(), packet->PayloadLength(), samples)) return;
    std::memset(buffer.data.data(), 0, buffer.data.size());
}
