// Qt keeps the first registration of a custom meta type for the whole run,
// as a pointer to the type's description in the file that registered it.
// Service modules and the form library are unloaded while the program runs:
// a type whose first registration came from one of them would leave Qt with
// a pointer into unloaded code, and the next module asking for the type (an
// item's check state, say) would crash. The types that item views pass
// between modules are registered here, by a library that stays loaded,
// before any module is.
#include <QMetaType>
#include <Qt>

namespace {
const bool g_sharedMetaTypes = [] {
    qRegisterMetaType<Qt::CheckState>();
    qRegisterMetaType<Qt::SortOrder>();
    qRegisterMetaType<Qt::Alignment>();
    qRegisterMetaType<Qt::ItemFlags>();
    return true;
}();
} // namespace
