#pragma once
// Entry points of the form library ComformLibs.so: optional dialogs shared by
// the console and the service modules. Texts are UTF-8; an in/out text is
// passed as a pointer to the caller's text, which the library replaces by a
// pointer to its own copy, valid until its next call.
extern "C" {

// Asks for one line of text. Returns nonzero when the user confirmed.
// maxLength: at most that many characters may be typed; -1 or 0 means no limit.
typedef int (*TLumInputQuery)(const char *caption, const char *prompt, const char *okText,
                              const char *cancelText, const char **value, int maxLength);
}
