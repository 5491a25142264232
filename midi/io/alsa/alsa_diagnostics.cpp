#include "midi/io/alsa/alsa_diagnostics.h"

#include <mutex>

#if defined(HALVORN_HAVE_ALSA)
#include <alsa/asoundlib.h>
#endif

namespace halvorn {

#if defined(HALVORN_HAVE_ALSA)
namespace {
void silentAlsaHandler(const char*, int, const char*, int, const char*, ...) {}
}  // namespace
#endif

void alsaQuietErrors() {
#if defined(HALVORN_HAVE_ALSA)
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(silentAlsaHandler); });
#endif
}

}  // namespace halvorn
