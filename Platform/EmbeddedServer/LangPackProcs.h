#pragma once
// LANG_PACK (user languages, texts, the capture of Russian phrases) and
// TEMP_SELECT_PACK of the embedded scheme server.
void RegisterLangPackProcs();
