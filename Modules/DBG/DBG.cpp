// DBG.so: the debugging library. Its presence beside the program is the switch
// that lets the forms copy their Russian texts into the language pack; the
// entry itself has nothing to do.
#include "Source/ComUnits/uDBGInt.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) void _DBGInitialize(QWidget *) {}

static_assert(std::is_same_v<decltype(&_DBGInitialize), TDBGInitialize>);
