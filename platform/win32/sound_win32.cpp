// Sound output over DirectSound: the device from dsound's creation entry
// (export ordinal 1), a primary buffer and the looping stream buffer.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <new>

#include "platform/sound.h"
#include "platform/win32/window_handle.h"

namespace {

typedef HRESULT(WINAPI* DirectSoundCreateEntry)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);

SoundResult result(HRESULT code) {
    if (code == DSERR_BUFFERLOST) return SoundBufferLost;
    return SUCCEEDED(code) ? SoundOk : SoundFailed;
}

WAVEFORMATEX waveFormat(const SoundFormat& format) {
    WAVEFORMATEX wave = {};
    wave.wFormatTag = format.formatTag;
    wave.nChannels = format.channels;
    wave.nSamplesPerSec = format.samplesPerSecond;
    wave.nAvgBytesPerSec = format.bytesPerSecond;
    wave.nBlockAlign = format.blockAlign;
    wave.wBitsPerSample = format.bitsPerSample;
    wave.cbSize = 0;
    return wave;
}

// The buffer descriptions use the first layout, without the 3D algorithm GUID:
// 20 bytes on 32-bit Windows, 24 with the 64-bit format pointer.
const DWORD kBufferDescriptionSize = sizeof(DSBUFFERDESC1);

class DirectSoundBuffer : public SoundBuffer {
public:
    explicit DirectSoundBuffer(IDirectSoundBuffer* buffer) : buffer(buffer) {}
    ~DirectSoundBuffer() override { buffer->Release(); }

    SoundResult getCurrentPosition(uint32_t* playCursor) override {
        DWORD play = 0;
        HRESULT code = buffer->GetCurrentPosition(&play, nullptr);
        *playCursor = play;
        return result(code);
    }
    SoundResult lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* length1, void** region2,
                     uint32_t* length2, uint32_t flags) override {
        DWORD first = 0, second = 0;
        HRESULT code = buffer->Lock(offset, bytes, region1, &first, region2, &second,
                                    (flags & kSoundLockEntireBuffer) ? DSBLOCK_ENTIREBUFFER : 0);
        *length1 = first;
        *length2 = second;
        return result(code);
    }
    SoundResult unlock(void* region1, uint32_t length1, void* region2, uint32_t length2) override {
        return result(buffer->Unlock(region1, length1, region2, length2));
    }
    SoundResult play() override { return result(buffer->Play(0, 0, DSBPLAY_LOOPING)); }
    SoundResult restore() override { return result(buffer->Restore()); }
    SoundResult setFormat(const SoundFormat& format) override {
        WAVEFORMATEX wave = waveFormat(format);
        return result(buffer->SetFormat(&wave));
    }

private:
    IDirectSoundBuffer* buffer;
};

class DirectSoundDevice : public SoundDevice {
public:
    explicit DirectSoundDevice(IDirectSound* device) : device(device) {}
    ~DirectSoundDevice() override { device->Release(); }

    SoundResult setCooperativeLevel(void* window) override {
        // The player is given the show window; without one it plays for the foreground.
        HWND handle = window ? win32WindowHandle(static_cast<PlatformWindow*>(window)) : GetForegroundWindow();
        return result(device->SetCooperativeLevel(handle, DSSCL_PRIORITY));
    }
    SoundBuffer* createPrimaryBuffer() override {
        DSBUFFERDESC description = {};
        description.dwSize = kBufferDescriptionSize;
        description.dwFlags = DSBCAPS_PRIMARYBUFFER;
        return create(description);
    }
    SoundBuffer* createStreamBuffer(uint32_t bytes, const SoundFormat& format) override {
        WAVEFORMATEX wave = waveFormat(format);
        DSBUFFERDESC description = {};
        description.dwSize = kBufferDescriptionSize;
        description.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
        description.dwBufferBytes = bytes;
        description.lpwfxFormat = &wave;
        return create(description);
    }

private:
    SoundBuffer* create(const DSBUFFERDESC& description) {
        IDirectSoundBuffer* buffer = nullptr;
        if (FAILED(device->CreateSoundBuffer(&description, &buffer, nullptr)) || !buffer) return nullptr;
        SoundBuffer* wrapped = new (std::nothrow) DirectSoundBuffer(buffer);
        if (!wrapped) buffer->Release();
        return wrapped;
    }

    IDirectSound* device;
};

}  // namespace

SoundDevice* platformOpenSoundDevice() {
    HMODULE library = LoadLibraryA("dsound.dll");
    if (!library) return nullptr;
    DirectSoundCreateEntry create =
        reinterpret_cast<DirectSoundCreateEntry>(reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(1))));
    IDirectSound* device = nullptr;
    if (!create || FAILED(create(nullptr, &device, nullptr)) || !device) return nullptr;
    SoundDevice* wrapped = new (std::nothrow) DirectSoundDevice(device);
    if (!wrapped) device->Release();
    return wrapped;
}
