// The console's resource library: bitmaps by number, as Qt resources under
// ":/LumRes/<number>.xpm". They register themselves when the library is loaded
// and leave with it when it is unloaded.
//
// 1-4, 13-15, 60, 61, 350, 351: small tool-bar images (1-4 find, sort,
// report and filter, which the data forms' grid actions show as well; 351
// the menu reload); 16-22, 62, 63, 352, 353: large ones in the same order;
// 5-12 the data forms' record moves, refresh, add, delete and post; 51
// apply, 52 cancel, 53 close.
extern "C" __attribute__((visibility("default"))) int LumResVersion() { return 1; }
