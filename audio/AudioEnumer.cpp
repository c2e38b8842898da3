#include "AudioEnumer.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstring>

namespace {

// Product names are copied bounded and always end in a zero byte.
std::string boundedName(const char* name, size_t room)
{
    return std::string(name, strnlen(name, room));
}

bool copyName(const std::vector<CAudioEnumer::Device>& devices, int deviceId, char* out)
{
    if (!out) return false;
    for (const auto& device : devices) {
        if (device.id != deviceId) continue;
        const size_t length = std::min(device.name.size(), static_cast<size_t>(Sondex::kDeviceNameBytes - 1));
        std::memcpy(out, device.name.data(), length);
        out[length] = '\0';
        return true;
    }
    return false;
}

}  // namespace

CAudioEnumer::CAudioEnumer()
{
    const UINT inputCount = waveInGetNumDevs();
    for (UINT id = 0; id < inputCount; ++id) {
        WAVEINCAPSA caps{};
        if (waveInGetDevCapsA(id, &caps, sizeof(caps)) != MMSYSERR_NOERROR) continue;
        inputs_.push_back({static_cast<int>(id), boundedName(caps.szPname, sizeof(caps.szPname))});
    }
    const UINT outputCount = waveOutGetNumDevs();
    for (UINT id = 0; id < outputCount; ++id) {
        WAVEOUTCAPSA caps{};
        if (waveOutGetDevCapsA(id, &caps, sizeof(caps)) != MMSYSERR_NOERROR) continue;
        outputs_.push_back({static_cast<int>(id), boundedName(caps.szPname, sizeof(caps.szPname))});
    }
}

bool SONDEX_CALL CAudioEnumer::GetInputDeviceName(int deviceId, char* out)
{
    try {
        return copyName(inputs_, deviceId, out);
    } catch (...) {
        return false;
    }
}

bool SONDEX_CALL CAudioEnumer::GetOutputDeviceName(int deviceId, char* out)
{
    try {
        return copyName(outputs_, deviceId, out);
    } catch (...) {
        return false;
    }
}

void SONDEX_CALL CAudioEnumer::Destroy()
{
    delete this;
}
