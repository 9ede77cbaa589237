// Event sounds: what MessageBeep and the system message box play, through the desktop's sound
// theme (libcanberra), with the toolkit's beep when the theme or the sound system cannot play.
#include "internal.h"

#include <QApplication>
#include <QGuiApplication>

#include <canberra.h>

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

// One connection to the sound system for the whole run; null when there is none.
ca_context* SoundContext() {
    struct Context {
        ca_context* handle = nullptr;
        Context() {
            if (ca_context_create(&handle) != CA_SUCCESS) {
                handle = nullptr;
                return;
            }
            ca_context_change_props(handle, CA_PROP_APPLICATION_NAME, "Zelvo Password Manager", CA_PROP_APPLICATION_ID,
                                    "zelvo-password-manager", nullptr);
        }
        ~Context() {
            if (handle)
                ca_context_destroy(handle);
        }
    };
    static Context context;
    return context.handle;
}

bool PlayThemeSound(const BeepSounds& sounds) {
    ca_context* context = SoundContext();
    if (!context)
        return false;
    for (const char* name : sounds.names)
        if (name && ca_context_play(context, 0, CA_PROP_EVENT_ID, name, nullptr) == CA_SUCCESS)
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
