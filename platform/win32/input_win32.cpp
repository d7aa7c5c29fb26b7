// Keyboard and mouse over DirectInput 8: both devices non-exclusive and
// foreground-only; the mouse buffers its relative movements.
#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>
#include <dinput.h>

#include <new>

#include "platform/input.h"
#include "platform/win32/window_handle.h"

struct PlatformInput {
    IDirectInput8A* directInput;
};

struct PlatformKeyboard {
    IDirectInputDevice8A* device;
};

struct PlatformMouse {
    IDirectInputDevice8A* device;
    HANDLE event;  // registered for notifications, never waited on
};

namespace {

InputResult result(HRESULT code) {
    if (SUCCEEDED(code)) return InputOk;
    switch (code) {
        case DIERR_INPUTLOST: return InputLost;
        case DIERR_NOTACQUIRED: return InputNotAcquired;
        case DIERR_OTHERAPPHASPRIO: return InputOtherHasPriority;
        default: return InputFailed;
    }
}

IDirectInputDevice8A* createDevice(PlatformInput* input, PlatformWindow* window, REFGUID guid,
                                   LPCDIDATAFORMAT format) {
    if (!input) return nullptr;
    IDirectInputDevice8A* device = nullptr;
    if (FAILED(input->directInput->CreateDevice(guid, &device, nullptr)) || !device) return nullptr;
    if (FAILED(device->SetDataFormat(format)) ||
        FAILED(device->SetCooperativeLevel(win32WindowHandle(window), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND))) {
        device->Release();
        return nullptr;
    }
    return device;
}

}  // namespace

PlatformInput* platformCreateInput() {
    IDirectInput8A* directInput = nullptr;
    if (FAILED(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                  reinterpret_cast<void**>(&directInput), nullptr)) ||
        !directInput)
        return nullptr;
    PlatformInput* input = new (std::nothrow) PlatformInput{directInput};
    if (!input) directInput->Release();
    return input;
}

void platformReleaseInput(PlatformInput* input) {
    if (!input) return;
    input->directInput->Release();
    delete input;
}

PlatformKeyboard* platformCreateKeyboard(PlatformInput* input, PlatformWindow* window) {
    IDirectInputDevice8A* device = createDevice(input, window, GUID_SysKeyboard, &c_dfDIKeyboard);
    if (!device) return nullptr;
    PlatformKeyboard* keyboard = new (std::nothrow) PlatformKeyboard{device};
    if (!keyboard) device->Release();
    return keyboard;
}

InputResult platformAcquireKeyboard(PlatformKeyboard* keyboard) {
    return keyboard ? result(keyboard->device->Acquire()) : InputFailed;
}

void platformUnacquireKeyboard(PlatformKeyboard* keyboard) {
    if (keyboard) keyboard->device->Unacquire();
}

void platformReleaseKeyboard(PlatformKeyboard* keyboard) {
    if (!keyboard) return;
    keyboard->device->Release();
    delete keyboard;
}

InputResult platformKeyboardState(PlatformKeyboard* keyboard, uint8_t state[256]) {
    if (!keyboard) return InputFailed;
    return result(keyboard->device->GetDeviceState(256, state));
}

PlatformMouse* platformCreateMouse(PlatformInput* input, PlatformWindow* window, int32_t bufferSize) {
    IDirectInputDevice8A* device = createDevice(input, window, GUID_SysMouse, &c_dfDIMouse);
    if (!device) return nullptr;
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DIPROPDWORD property = {};
    property.diph.dwSize = sizeof property;
    property.diph.dwHeaderSize = sizeof property.diph;
    property.diph.dwObj = 0;
    property.diph.dwHow = DIPH_DEVICE;
    property.dwData = static_cast<DWORD>(bufferSize);
    if (!event || FAILED(device->SetEventNotification(event)) ||
        FAILED(device->SetProperty(DIPROP_BUFFERSIZE, &property.diph))) {
        if (event) CloseHandle(event);
        device->Release();
        return nullptr;
    }
    PlatformMouse* mouse = new (std::nothrow) PlatformMouse{device, event};
    if (!mouse) {
        CloseHandle(event);
        device->Release();
    }
    return mouse;
}

InputResult platformAcquireMouse(PlatformMouse* mouse) { return mouse ? result(mouse->device->Acquire()) : InputFailed; }

void platformUnacquireMouse(PlatformMouse* mouse) {
    if (mouse) mouse->device->Unacquire();
}

void platformReleaseMouse(PlatformMouse* mouse) {
    if (!mouse) return;
    mouse->device->Unacquire();
    mouse->device->SetEventNotification(nullptr);
    mouse->device->Release();
    CloseHandle(mouse->event);
    delete mouse;
}

InputResult platformMouseData(PlatformMouse* mouse, MouseEvent* event, int32_t* count) {
    *count = 0;
    if (!mouse) return InputFailed;
    DIDEVICEOBJECTDATA data = {};
    DWORD elements = 1;
    HRESULT code = mouse->device->GetDeviceData(sizeof data, &data, &elements, 0);
    if (FAILED(code)) return result(code);
    if (elements == 1) {
        event->offset = data.dwOfs;
        event->value = static_cast<int32_t>(data.dwData);
        *count = 1;
    }
    return InputOk;
}
