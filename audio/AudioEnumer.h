/*
 * The machine's wave-in and wave-out devices, listed once when the object is
 * made: {device id, product name} in ascending id; an id whose capabilities
 * cannot be read is skipped, the others keep their ids.
 */
#ifndef AUDIO_AUDIOENUMER_H
#define AUDIO_AUDIOENUMER_H

#include <string>
#include <vector>

#include "Sondex.h"

class CAudioEnumer final : public Sondex::IAudioEnumer {
public:
    struct Device {
        int id;
        std::string name;
    };

    CAudioEnumer();
    CAudioEnumer(const CAudioEnumer&) = delete;
    CAudioEnumer& operator=(const CAudioEnumer&) = delete;

    int SONDEX_CALL GetInputDeviceCount() override { return static_cast<int>(inputs_.size()); }
    int SONDEX_CALL GetOutputDeviceCount() override { return static_cast<int>(outputs_.size()); }
    bool SONDEX_CALL GetInputDeviceName(int deviceId, char* out) override;
    bool SONDEX_CALL GetOutputDeviceName(int deviceId, char* out) override;
    void SONDEX_CALL Destroy() override;

private:
    ~CAudioEnumer() = default;

    std::vector<Device> inputs_;
    std::vector<Device> outputs_;
};

#endif
