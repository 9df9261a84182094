// The console's resource library: bitmaps by number, as Qt resources under
// ":/LumRes/<number>.xpm". They register themselves when the library is loaded
// and leave with it when it is unloaded.
//
// 1-4, 13-15, 60, 61, 350, 351: small tool-bar images; 16-22, 62, 63, 352,
// 353: large ones; 51 apply, 52 cancel, 53 close.
extern "C" __attribute__((visibility("default"))) int LumResVersion() { return 1; }
