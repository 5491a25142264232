#include "midi/io/jack/jack_diagnostics.h"

#include <cstdlib>
#include <mutex>

#if defined(HALVORN_HAVE_JACK)
#include <jack/jack.h>
#endif

namespace halvorn {

#if defined(HALVORN_HAVE_JACK)
namespace {
void silentJackHandler(const char*) {}
}  // namespace
#endif

void jackQuietClient() {
#if defined(HALVORN_HAVE_JACK)
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(silentJackHandler);
        jack_set_info_function(silentJackHandler);
        ::setenv("JACK_NO_START_SERVER", "1", 0);  // a user's own setting stays
    });
#endif
}

}  // namespace halvorn
