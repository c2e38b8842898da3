/*
 * The FAAC encoder calls the audio library makes, offered on top of the
 * vo-aacenc AAC-LC encoder (FAAC itself is not available for this target).
 *
 * Only what the library needs is here: open, read and set the configuration
 * (configuration version 104), encode one frame, close. The encoder is LC
 * only, one or two channels, constant bit rate; settings it cannot honour are
 * refused by faacEncSetConfiguration instead of being silently ignored, except
 * the tuning knobs that only steer quality (mid/side, TNS, bandwidth, quantiser
 * quality), which the encoder chooses for itself.
 *
 * Threading: one handle is used by one thread at a time; handles are
 * independent of each other.
 */
#ifndef PLATFORM_FAAC_FAAC_H
#define PLATFORM_FAAC_FAAC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FAAC_CFG_VERSION 104

/* mpegVersion: written into the ADTS header's ID bit. */
#define MPEG4 0
#define MPEG2 1

/* aacObjectType */
#define MAIN 1
#define LOW 2
#define SSR 3
#define LTP 4

/* outputFormat */
#define RAW_STREAM 0
#define ADTS_STREAM 1

/* inputFormat: 32-bit samples carry a 24-bit value (16-bit sample * 256);
 * float samples carry 16-bit range values. */
#define FAAC_INPUT_NULL 0
#define FAAC_INPUT_16BIT 1
#define FAAC_INPUT_24BIT 2
#define FAAC_INPUT_32BIT 3
#define FAAC_INPUT_FLOAT 4

/* shortctl: block switching */
#define SHORTCTL_NORMAL 0
#define SHORTCTL_NOSHORT 1
#define SHORTCTL_NOLONG 2

typedef struct faacEncConfiguration {
    int version; /* FAAC_CFG_VERSION */
    const char* name;
    const char* copyright;
    unsigned int mpegVersion;
    unsigned int aacObjectType;
    unsigned int allowMidside;
    unsigned int useLfe;
    unsigned int useTns;
    unsigned long bitRate;  /* per channel, bits per second */
    unsigned int bandWidth; /* 0: the encoder chooses */
    unsigned long quantqual;
    unsigned int outputFormat;
    unsigned int inputFormat;
    int shortctl;
} faacEncConfiguration, *faacEncConfigurationPtr;

typedef void* faacEncHandle;

/* Opens an encoder; inputSamples receives the samples (all channels) one
 * encode call takes, maxOutputBytes the largest frame it writes. Null when the
 * sample rate or channel count is not supported or memory is short. */
faacEncHandle faacEncOpen(
    unsigned long sampleRate, unsigned int numChannels, unsigned long* inputSamples, unsigned long* maxOutputBytes);

/* The handle's configuration record; change it and pass it to
 * faacEncSetConfiguration. Null for a null handle. */
faacEncConfigurationPtr faacEncGetCurrentConfiguration(faacEncHandle handle);

/* 1 when the configuration was taken, 0 when it was refused. */
int faacEncSetConfiguration(faacEncHandle handle, faacEncConfigurationPtr config);

/* Encodes up to inputSamples samples (fewer are padded with silence) into one
 * frame. Returns the bytes written, 0 when nothing was produced, negative on
 * error (bad arguments, no configuration set, output room too small). */
int faacEncEncode(faacEncHandle handle, int32_t* inputBuffer, unsigned int samplesInput, unsigned char* outputBuffer,
    unsigned int bufferSize);

/* Frees the encoder; a null handle is ignored. Returns 0. */
int faacEncClose(faacEncHandle handle);

#ifdef __cplusplus
}
#endif

#endif
