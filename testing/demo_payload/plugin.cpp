// The demo's plug-in library, built twice under the names of its libc 5 and
// libc 6 variants; it only tells which one a browser loaded.
extern "C" const char* plim_plugin_variant() { return PLIM_PLUGIN_VARIANT; }
