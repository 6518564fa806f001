// The tests read the program's messages in Spanish, as its sources write
// them and its Spanish catalog spells them (from the build's catalogs),
// whatever the locale they run under: set before anything asks for one.
#include <cstdlib>

namespace {

const bool spanish = [] {
    setenv("LANGUAGE", "es", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    setenv("ZORVEL_RASTER_LOCALEDIR", ZORVEL_TEST_LOCALEDIR, 1);
    return true;
}();

}  // namespace
