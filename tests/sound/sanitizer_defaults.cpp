// The sanitizers' defaults for the sound tests, built into the test
// programs so that every way of running them gets them.
//
// Whole stacks through the system libraries, so that the suppressions below
// can name the library functions that keep memory and never hide a leak of
// ours (with the fast unwinder a stack ends at g_malloc).
//
// Leaks that are not ours (none has a frame of our code):
// - _dl_init: GLib's allocations at library load, kept for the process.
// - gst_init_check: GStreamer's registry and interned names, made once.
// - av_packet_*_side_data: libav's decoders lose packet side data.
// - gst_structure_free: GStreamer frees an element's context structure
//   without its last object reference (once per HTTP source).
// - g_socket_create_source: libsoup's source of a transfer pending at exit.
// - libfontconfig.so: fontconfig's configuration and caches, kept for
//   the process (the test host installs the text service).
extern "C" const char* __asan_default_options();
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

extern "C" const char* __lsan_default_suppressions() {
  return "leak:_dl_init\n"
         "leak:gst_init_check\n"
         "leak:av_packet_add_side_data\n"
         "leak:av_packet_new_side_data\n"
         "leak:gst_structure_free\n"
         "leak:g_socket_create_source\n"
         "leak:libfontconfig.so\n";
}
