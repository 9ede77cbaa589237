// Event sounds: what MessageBeep and the system message box play, through the desktop's sound
// theme (libcanberra), with the toolkit's beep when the theme or the sound system cannot play.
#include "internal.h"

#include <QApplication>
#include <QGuiApplication>

#include <canberra.h>
#include <dlfcn.h>

namespace afx_detail {
namespace {

// The theme's sounds for one kind of beep, best first. The freedesktop theme has no question
// sound, so a question falls back to the information sound rather than to a bare bell.
struct BeepSounds {
    UINT icon;
    const char* names[2];
};
constexpr BeepSounds kBeepSounds[] = {
    {MB_ICONERROR, {"dialog-error", nullptr}},
    {MB_ICONQUESTION, {"dialog-question", "dialog-information"}},
    {MB_ICONWARNING, {"dialog-warning", nullptr}},
    {MB_ICONINFORMATION, {"dialog-information", nullptr}},
};
constexpr BeepSounds kDefaultBeep = {MB_OK, {"bell", nullptr}};

const BeepSounds& SoundsFor(UINT type) {
    for (const BeepSounds& sounds : kBeepSounds)
        if (sounds.icon == (type & 0xF0))
            return sounds;
    return kDefaultBeep;
}

// The sound theme library, opened at the first sound; its operations are null when it is missing.
struct SoundLibrary {
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_change_props) changeProps = nullptr;
    decltype(&ca_context_play) play = nullptr;
    decltype(&ca_context_destroy) destroy = nullptr;

    SoundLibrary() {
        void* library = ::dlopen("libcanberra.so.0", RTLD_LAZY | RTLD_LOCAL);
        if (!library)
            return;
        create = reinterpret_cast<decltype(create)>(::dlsym(library, "ca_context_create"));
        changeProps = reinterpret_cast<decltype(changeProps)>(::dlsym(library, "ca_context_change_props"));
        play = reinterpret_cast<decltype(play)>(::dlsym(library, "ca_context_play"));
        destroy = reinterpret_cast<decltype(destroy)>(::dlsym(library, "ca_context_destroy"));
        if (!create || !changeProps || !play || !destroy)
            create = nullptr;
    }
};

// One connection to the sound system for the whole run; null when there is none.
struct SoundContext {
    const SoundLibrary library;
    ca_context* handle = nullptr;

    SoundContext() {
        if (!library.create || library.create(&handle) != CA_SUCCESS) {
            handle = nullptr;
            return;
        }
        library.changeProps(handle, CA_PROP_APPLICATION_NAME, "Zelvo Password Manager", CA_PROP_APPLICATION_ID,
                            "zelvo-password-manager", nullptr);
    }
    ~SoundContext() {
        if (handle)
            library.destroy(handle);
    }
};

bool PlayThemeSound(const BeepSounds& sounds) {
    static const SoundContext context;
    if (!context.handle)
        return false;
    for (const char* name : sounds.names)
        if (name && context.library.play(context.handle, 0, CA_PROP_EVENT_ID, name, nullptr) == CA_SUCCESS)
            return true;
    return false;
}

} // namespace

std::string EventSoundName(UINT type) {
    return SoundsFor(type).names[0];
}

void PlayEventSound(UINT type) {
    // A program without a screen (the tests' headless platform) has nobody to hear it.
    if (!qApp || QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    if (!PlayThemeSound(SoundsFor(type)))
        QApplication::beep();
}

} // namespace afx_detail
